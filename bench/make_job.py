#!/usr/bin/env python3
# SPDX-License-Identifier: BSD-3-Clause
"""Writes a benchmark job into a directory: samples.lst with 100 samples whose
windows lie inside 0.05..0.95, and two curve tables corrspec.in and
corrlog.in of 127 records each.  The same seed gives the same job."""
import math
import random
import sys


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else "."
    rng = random.Random(20261207)
    with open(f"{out}/samples.lst", "w") as f:
        for i in range(100):
            lo = rng.uniform(0.05, 0.85)
            hi = rng.uniform(lo + 0.05, 0.95)
            f.write(f"s{i + 1:03d}\n  {lo:.4f}  {hi:.4f}\n")
    for name, phase in (("corrspec.in", 0.0), ("corrlog.in", 0.7)):
        with open(f"{out}/{name}", "w") as f:
            for r in range(1, 128):
                x = r / 128.0
                y = 1.2 + 0.3 * math.sin(7.0 * x + phase) + 0.01 * rng.uniform(-1, 1)
                f.write(f"  {x:.6f}  {y:.6f}\n")


if __name__ == "__main__":
    main()
