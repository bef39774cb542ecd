# SPDX-License-Identifier: BSD-3-Clause
"""tamsel's transforms by 1 and 2 workers against scipy.fft's, in one
process on the same arrays (complex128 values uniform in [-1, 1)): a batch
of 1000 rows of 1024 values (fft and rfft along the last axis) and fftn
of 512 x 512, 2048 x 2048 and 64 x 64 x 64.  Each figure is the best over
rounds of the mean time of a batch of calls, the four calls of a case
timed in turns; "1/2" is the time of 1 worker over that of 2, "vs scipy"
tamsel's time over scipy's with 2 workers each (below 1: tamsel faster).
Usage: python3 bench/python_threads.py [WORKERS]   (tamsel importable)"""

import sys
import timeit

import numpy as np
import scipy.fft

import tamsel


def best(calls, budget=0.3, rounds=9):
    numbers = []
    for call in calls:
        number = 1
        while timeit.timeit(call, number=number) < budget / rounds / 4:
            number *= 2
        numbers.append(number)
    times = [float("inf")] * len(calls)
    for _ in range(rounds):
        for i, call in enumerate(calls):
            times[i] = min(times[i], timeit.timeit(call, number=numbers[i]) / numbers[i])
    return times


def main():
    workers = int(sys.argv[1]) if len(sys.argv) > 1 else 2
    rng = np.random.default_rng(7)
    cases = [
        ("fft 1000x1024", (1000, 1024), tamsel.fft, scipy.fft.fft),
        ("rfft 1000x1024", (1000, 1024), tamsel.rfft, scipy.fft.rfft),
        ("fftn 512x512", (512, 512), tamsel.fftn, scipy.fft.fftn),
        ("fftn 2048x2048", (2048, 2048), tamsel.fftn, scipy.fft.fftn),
        ("fftn 64x64x64", (64, 64, 64), tamsel.fftn, scipy.fft.fftn),
    ]
    print(f"tamsel {tamsel.__version__}, scipy {scipy.__version__}; workers 1 and {workers}")
    print(f"{'case':<16} {'tamsel 1':>10} {'tamsel ' + str(workers):>10} {'1/' + str(workers):>6}"
          f" {'scipy 1':>10} {'scipy ' + str(workers):>10} {'1/' + str(workers):>6} {'vs scipy':>9}")
    for name, shape, ours, theirs in cases:
        x = rng.uniform(-1, 1, shape) + 1j * rng.uniform(-1, 1, shape)
        if ours is tamsel.rfft:
            x = x.real.copy()
        assert np.allclose(ours(x, workers=workers), theirs(x, workers=workers))
        t = best([lambda: ours(x, workers=1), lambda: ours(x, workers=workers),
                  lambda: theirs(x, workers=1), lambda: theirs(x, workers=workers)])
        print(f"{name:<16} {t[0] * 1e3:>8.2f}ms {t[1] * 1e3:>8.2f}ms {t[0] / t[1]:>6.2f}"
              f" {t[2] * 1e3:>8.2f}ms {t[3] * 1e3:>8.2f}ms {t[2] / t[3]:>6.2f} {t[1] / t[3]:>9.2f}")


if __name__ == "__main__":
    main()
