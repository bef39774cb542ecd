#!/bin/sh
# SPDX-License-Identifier: BSD-3-Clause
# Bit-for-bit reproducibility: builds tamsel-dump with several compilers and
# optimisation levels, runs each build on the case of .ci/case.sh and
# on the conventional layer's transforms of lengths from 1 to 10007
# (tamsel-dump --transforms), and fails unless every build prints the same
# bits.  Also fails if any build
# holds a fused multiply-add instruction (the AVX-512 kernels, built with
# target attributes at every level, carry FMA forms of their own).
#   .ci/repro.sh [WORK_DIR]        (default build-repro)
# REPRO_GCC_O2, the tamsel-dump of a g++ Release build at -O2 (the README's
# test build is one), stands for that configuration instead of a new build.
set -eu
cd "$(dirname "$0")/.."
work=${1:-build-repro}
jobs=${JOBS:-$(nproc)}
.ci/case.sh "$work/case"

# name  compiler  release flags
# -O3 -march=native is the most the optimiser and the instruction set can
# do together: the vectoriser at its widest over every loop.
configs='gcc-O0 g++ -O0
gcc-O2 g++ -O2
gcc-O3-native g++ -O3 -march=native
clang-O2 clang++ -O2'

first=""
while read -r name cxx flags; do
  dir="$work/$name"
  if [ "$name" = gcc-O2 ] && [ -n "${REPRO_GCC_O2:-}" ]; then
    mkdir -p "$dir" && cp "$REPRO_GCC_O2" "$dir/tamsel-dump"
  else
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER="$cxx" \
      -DCMAKE_CXX_FLAGS_RELEASE="$flags" -DBUILD_TESTING=OFF -DTAMSEL_PYTHON=OFF >/dev/null
    cmake --build "$dir" -j "$jobs" --target tamsel-dump >/dev/null
  fi
  dump=$(cd "$dir" && pwd)/tamsel-dump
  (cd "$work/case" && "$dump") >"$work/$name.dump"
  "$dump" --transforms >"$work/$name.transforms"
  if objdump -d --no-show-raw-insn "$dump" | grep -Eq 'vf(n)?m(add|sub)'; then
    echo "repro: the $name build holds fused multiply-add instructions"
    exit 1
  fi
  lines=$(wc -l <"$work/$name.dump")
  [ "$lines" -eq 100 ] || { echo "repro: $name printed $lines lines, not 100"; exit 1; }
  if [ -z "$first" ]; then
    first=$name
  elif ! cmp -s "$work/$first.dump" "$work/$name.dump"; then
    echo "repro: $name differs from $first:"
    diff "$work/$first.dump" "$work/$name.dump" | head -c 2000
    exit 1
  elif ! cmp -s "$work/$first.transforms" "$work/$name.transforms"; then
    echo "repro: the transforms of $name differ from $first's (length, fft, ifft, rfft, irfft, fftn):"
    diff "$work/$first.transforms" "$work/$name.transforms" | head -c 2000
    exit 1
  fi
  [ "$first" = "$name" ] && echo "repro: $name is the reference" || echo "repro: $name matches $first"
done <<END
$configs
END

echo "repro: all builds agree bit for bit"
