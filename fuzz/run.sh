#!/bin/sh
# SPDX-License-Identifier: BSD-3-Clause
# Runs every fuzz target of a fuzz build: first over its seeds (fuzz/corpus)
# and the inputs earlier runs kept, each once, then on new inputs for a
# bounded time; JOBS targets (default: the processors) at a time:
#   fuzz/run.sh BUILD_DIR SECONDS
# New inputs go to BUILD_DIR/fuzz-corpus/<target> (the seeds in fuzz/corpus
# are only read), crash reproducers to BUILD_DIR/fuzz-artifacts.  Prints the
# executions of each target; fails if any target finds anything.
set -eu
build=$(cd "$1" && pwd)
seconds=$2
jobs=${JOBS:-$(nproc)}
seeds=$(cd "$(dirname "$0")" && pwd)/corpus
mkdir -p "$build/fuzz-artifacts"

# One target, its log in BUILD_DIR/fuzz-TARGET.log and its exit status in
# BUILD_DIR/fuzz-TARGET.status.
fuzz_one() {
  target=$1
  work="$build/fuzz-corpus/$target"
  # The run's files live in memory when it can: far faster than a disk.
  scratch=$(mktemp -d -p /dev/shm 2>/dev/null || mktemp -d)
  mkdir -p "$work"
  status=0
  {
    TAMSEL_FUZZ_DIR="$scratch" "$build/fuzz/fuzz_$target" -runs=0 -timeout=10 \
      -rss_limit_mb=1024 -artifact_prefix="$build/fuzz-artifacts/$target-" \
      "$seeds/$target" "$work" &&
    TAMSEL_FUZZ_DIR="$scratch" "$build/fuzz/fuzz_$target" \
      -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 -print_final_stats=1 \
      -artifact_prefix="$build/fuzz-artifacts/$target-" "$work" "$seeds/$target"
  } >"$build/fuzz-$target.log" 2>&1 || status=$?
  rm -rf "$scratch"
  echo "$status" >"$build/fuzz-$target.status"
}

failed=""
set -- number_reader sample_list tables whole_run
while [ $# -gt 0 ]; do
  batch=""
  started=0
  while [ $# -gt 0 ] && [ "$started" -lt "$jobs" ]; do
    fuzz_one "$1" &
    batch="$batch $1"
    started=$((started + 1))
    shift
  done
  wait
  for target in $batch; do
    status=$(cat "$build/fuzz-$target.status")
    log="$build/fuzz-$target.log"
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    echo "fuzz $target: ${runs:-?} executions in ${seconds} s, status $status"
    if [ "$status" -ne 0 ]; then
      tail -n 40 "$log"
      failed="$failed $target"
    fi
  done
done
[ -z "$failed" ] || { echo "fuzz: findings in$failed"; exit 1; }
