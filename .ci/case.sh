#!/bin/sh
# SPDX-License-Identifier: BSD-3-Clause
# The case on which .ci/repro.sh and .ci/arm.sh compare tamsel-dump's bits:
# 100 windows inside [0, 1] and two 130-record tables (more than the 128
# records a run reads, so the record limit is crossed too), written into
# DIR.
#   .ci/case.sh DIR
set -eu
mkdir -p "$1"
cd "$1"
LC_ALL=C awk 'BEGIN {
  for (k = 1; k <= 100; k++) {
    lo = (k * 0.6180339887498949) % 0.55
    hi = lo + 0.04 + (k * 0.7548776662466927) % 0.4
    printf "s%03d\n%.17g %.17g\n", k, lo, hi > "samples.lst"
  }
  for (r = 1; r <= 130; r++) {
    x = r / 131.0
    printf "%.17g %.17g\n", x, 2.385 * sin(9.1 * x) + 0.37 * cos(31.0 * x) > "corrspec.in"
    printf "%.17g %.17g\n", x + 0.5, 1.7 * sin(8.3 * x + 0.4) - 0.21 * x * x > "corrlog.in"
  }
}' </dev/null
