#!/bin/sh
# SPDX-License-Identifier: BSD-3-Clause
# The 64-bit ARM check: cross-builds the project and its tests for aarch64,
# runs the test suite but the slow tests under qemu-user, fails if the
# build holds a fused multiply-add instruction (aarch64 has them in its
# base instruction set), and fails unless tamsel-dump prints the same bits
# on aarch64 as a native build does, on the case of .ci/case.sh and for the
# transforms (tamsel-dump --transforms).
#   .ci/arm.sh [WORK_DIR]          (default build-arm)
# NATIVE_DUMP, a native build's tamsel-dump (default build/tamsel-dump, the
# README's test build, which is built here when it is missing).
# Needs g++-aarch64-linux-gnu and qemu-user; GoogleTest is built for aarch64
# with the tests, from the sources Debian installs under /usr/src/googletest.
set -eu
cd "$(dirname "$0")/.."
work=${1:-build-arm}
jobs=${JOBS:-$(nproc)}
top=$(pwd)
toolchain="$top/cmake/aarch64-linux-gnu.cmake"

cmake -S . -B "$work/tamsel" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DTAMSEL_GTEST_SOURCE=/usr/src/googletest -DTAMSEL_TEST_SHARDS=$((2 * jobs)) \
  -DTAMSEL_SLOW_TESTS=OFF >/dev/null
cmake --build "$work/tamsel" -j "$jobs"
(cd "$work/tamsel" && ctest --output-on-failure -j "$jobs" -LE slow)

for program in tamsel tamsel-plot tamsel-dump; do
  if aarch64-linux-gnu-objdump -d --no-show-raw-insn "$work/tamsel/$program" |
     grep -Eq '[[:space:]]f(n)?m(add|sub|la|ls)[[:space:]]'; then
    echo "arm: $program holds fused multiply-add instructions"
    exit 1
  fi
done

native=${NATIVE_DUMP:-build/tamsel-dump}
if [ ! -x "$native" ]; then
  cmake -S . -B build >/dev/null
  cmake --build build -j "$jobs" --target tamsel-dump >/dev/null
  native=build/tamsel-dump
fi
native=$(cd "$(dirname "$native")" && pwd)/$(basename "$native")
dump=$(cd "$work/tamsel" && pwd)/tamsel-dump
.ci/case.sh "$work/case"
(cd "$work/case" && "$native") >"$work/native.dump"
(cd "$work/case" && qemu-aarch64 -L /usr/aarch64-linux-gnu "$dump") >"$work/aarch64.dump"
"$native" --transforms >"$work/native.transforms"
qemu-aarch64 -L /usr/aarch64-linux-gnu "$dump" --transforms >"$work/aarch64.transforms"
for what in dump transforms; do
  if ! cmp -s "$work/native.$what" "$work/aarch64.$what"; then
    echo "arm: aarch64 differs from the native build ($what):"
    diff "$work/native.$what" "$work/aarch64.$what" | head -c 2000
    exit 1
  fi
done
echo "arm: aarch64 prints the same bits as the native build"
