#!/bin/sh
# SPDX-License-Identifier: BSD-3-Clause
# Runs every fuzz target of a fuzz build: first over its seeds (fuzz/corpus)
# and the inputs earlier runs kept, each once, then on new inputs for a
# bounded time:
#   fuzz/run.sh BUILD_DIR SECONDS
# New inputs go to BUILD_DIR/fuzz-corpus/<target> (the seeds in fuzz/corpus
# are only read), crash reproducers to BUILD_DIR/fuzz-artifacts.  Prints the
# executions of each target; fails on the first finding.
set -eu
build=$(cd "$1" && pwd)
seconds=$2
seeds=$(cd "$(dirname "$0")" && pwd)/corpus
mkdir -p "$build/fuzz-artifacts"
for target in number_reader sample_list tables whole_run; do
  work="$build/fuzz-corpus/$target"
  # The run's files live in memory when it can: far faster than a disk.
  scratch=$(mktemp -d -p /dev/shm 2>/dev/null || mktemp -d)
  mkdir -p "$work"
  log="$build/fuzz-$target.log"
  status=0
  {
    TAMSEL_FUZZ_DIR="$scratch" "$build/fuzz/fuzz_$target" -runs=0 -timeout=10 \
      -rss_limit_mb=1024 -artifact_prefix="$build/fuzz-artifacts/$target-" \
      "$seeds/$target" "$work" &&
    TAMSEL_FUZZ_DIR="$scratch" "$build/fuzz/fuzz_$target" \
      -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 -print_final_stats=1 \
      -artifact_prefix="$build/fuzz-artifacts/$target-" "$work" "$seeds/$target"
  } >"$log" 2>&1 || status=$?
  rm -rf "$scratch"
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  echo "fuzz $target: ${runs:-?} executions in ${seconds} s, status $status"
  if [ "$status" -ne 0 ]; then
    tail -n 40 "$log"
    exit 1
  fi
done
