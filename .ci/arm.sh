#!/bin/sh
# SPDX-License-Identifier: BSD-3-Clause
# The 64-bit ARM check: cross-builds the project and its tests for aarch64,
# runs the test suite but the slow tests under qemu-user, fails if the
# build holds a fused multiply-add instruction (aarch64 has them in its
# base instruction set), and fails unless tamsel-dump prints the same bits
# on aarch64 as the native build does for the reproducibility case of
# .ci/repro.sh.
#   .ci/arm.sh [WORK_DIR]          (default build-arm)
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

# The reproducibility case and its native reference come from repro.sh.
[ -f build-repro/gcc-O0.dump ] || .ci/repro.sh build-repro
dump=$(cd "$work/tamsel" && pwd)/tamsel-dump
(cd build-repro/case && qemu-aarch64 -L /usr/aarch64-linux-gnu "$dump") >"$work/aarch64.dump"
if ! cmp -s build-repro/gcc-O0.dump "$work/aarch64.dump"; then
  echo "arm: aarch64 differs from the native build:"
  diff build-repro/gcc-O0.dump "$work/aarch64.dump" | head -c 2000
  exit 1
fi
echo "arm: aarch64 prints the same bits as the native build"
