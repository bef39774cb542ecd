#!/bin/sh
# SPDX-License-Identifier: BSD-3-Clause
# Times a whole run of tamsel on the generated 100-sample job (smooth
# enough that the run writes no warning) against the
# floor programs with hyperfine, prints run/floor, and the peak resident
# memory of one run.  Usage: bench/whole_run.sh BUILD_DIR [ROUNDS]
#
# A shared machine drifts over a few seconds, so the programs are timed in
# ROUNDS short rounds (default 10) of 50 runs each, all three in every round;
# the ratio given is the median over the rounds of the ratio within a round.
set -eu
build=$(cd "${1:-build-bench}" && pwd)
rounds=${2:-10}
here=$(cd "$(dirname "$0")" && pwd)
job=$(mktemp -d)
trap 'rm -rf "$job"' EXIT
python3 "$here/make_job.py" "$job"
cd "$job"
"$build/tamsel" >/dev/null
round=1
while [ "$round" -le "$rounds" ]; do
  hyperfine -N --warmup 10 --runs 50 --style none --export-json "times$round.json" \
    -n tamsel "$build/tamsel" -n floor "$build/bench/bench_floor" \
    -n floor_cxx "$build/bench/bench_floor_cxx" >/dev/null 2>&1
  round=$((round + 1))
done
rss=$(/usr/bin/time -f %M "$build/tamsel" 2>&1 >/dev/null | tail -n 1)
python3 - "$rss" "$rounds" <<'PY'
import json, statistics, sys
rounds = [{x["command"]: x for x in json.load(open(f"times{r}.json"))["results"]}
          for r in range(1, int(sys.argv[2]) + 1)]
def times(name):
    return [t for r in rounds for t in r[name]["times"]]
def ratio(name):
    return statistics.median(r["tamsel"]["mean"] / r[name]["mean"] for r in rounds)
run = times("tamsel")
print(f"whole run  tamsel {statistics.mean(run)*1e3:.3f} ms (median {statistics.median(run)*1e3:.3f})")
for name, label in (("floor_cxx", "C++ streams, loads the C++ runtime as tamsel does"),
                    ("floor", "C library only")):
    t = times(name)
    print(f"{name:<10} {statistics.mean(t)*1e3:.3f} ms (median {statistics.median(t)*1e3:.3f}), {label}:"
          f"  run/floor {ratio(name):.2f} (median of {len(rounds)} rounds)")
print(f"peak RSS   {sys.argv[1]} KiB (tamsel, one run)")
PY
