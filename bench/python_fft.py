# SPDX-License-Identifier: BSD-3-Clause
"""tamsel.fft against numpy.fft.fft in one process, on the same arrays:
complex128 values uniform in [-1, 1), n = 2^7 .. 2^20.  Each figure is the
best over several rounds of the mean time of a batch of calls; the ratio is
tamsel's time over numpy's (below 1: tamsel is faster).
Usage: python3 bench/python_fft.py [LOG2_MAX]   (tamsel importable)"""

import sys
import timeit

import numpy as np

import tamsel


def best(call, budget=0.2, rounds=7):
    number = 1
    while timeit.timeit(call, number=number) < budget / rounds / 4:
        number *= 2
    return min(timeit.repeat(call, number=number, repeat=rounds)) / number


def main():
    top = int(sys.argv[1]) if len(sys.argv) > 1 else 20
    rng = np.random.default_rng(7)
    print(f"tamsel {tamsel.__version__}, numpy {np.__version__}: fft of complex128 values")
    print(f"{'n':>9} {'tamsel us':>11} {'numpy us':>11} {'ratio':>7}")
    worst = 0.0
    for log2n in range(7, top + 1):
        n = 1 << log2n
        x = rng.uniform(-1, 1, n) + 1j * rng.uniform(-1, 1, n)
        assert np.allclose(tamsel.fft(x), np.fft.fft(x))
        ours = best(lambda: tamsel.fft(x))
        theirs = best(lambda: np.fft.fft(x))
        worst = max(worst, ours / theirs)
        print(f"{n:>9} {ours * 1e6:>11.2f} {theirs * 1e6:>11.2f} {ours / theirs:>7.2f}")
    print(f"largest ratio {worst:.2f}")


if __name__ == "__main__":
    main()
