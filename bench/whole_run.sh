#!/bin/sh
# Times a whole run of tamsel on the generated 100-sample job against the
# floor program with hyperfine, prints run/floor, and the peak resident
# memory of one run.  Usage: bench/whole_run.sh BUILD_DIR
set -eu
build=$(cd "${1:-build-bench}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
job=$(mktemp -d)
trap 'rm -rf "$job"' EXIT
python3 "$here/make_job.py" "$job"
cd "$job"
"$build/tamsel" >/dev/null
hyperfine -N --warmup 50 --runs 500 --style basic --export-json times.json \
  -n tamsel "$build/tamsel" -n floor "$build/bench/bench_floor" \
  -n floor_cxx "$build/bench/bench_floor_cxx" >/dev/null
rss=$(/usr/bin/time -f %M "$build/tamsel" 2>&1 >/dev/null)
python3 - "$rss" <<'PY'
import json, sys
r = {x["command"]: x for x in json.load(open("times.json"))["results"]}
run = r["tamsel"]
print(f"whole run        tamsel {run['mean']*1e3:.3f} ms (median {run['median']*1e3:.3f})")
for name, label in (("floor", "C library only"), ("floor_cxx", "C++ streams, loads libstdc++")):
    floor = r[name]
    print(f"{name:<10} {floor['mean']*1e3:.3f} ms (median {floor['median']*1e3:.3f}), {label}:"
          f"  run/floor {run['mean']/floor['mean']:.2f} (means)"
          f"  {run['median']/floor['median']:.2f} (medians)")
print(f"peak RSS   {sys.argv[1]} KiB (tamsel, one run)")
PY
