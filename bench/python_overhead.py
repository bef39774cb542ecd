# SPDX-License-Identifier: BSD-3-Clause
"""tamsel.fft, ifft, rfft and irfft of one row of n values from Python
against the same call from C++ (bench/call_bench: a copy of the input and
the conventional layer's transform, or the real transform into an array
made once), n = 2^12, 2^14, 2^16.  Rounds of the two alternate, so that
load from elsewhere hits both alike; each figure is the best over the
rounds, the ratio Python's time over C++'s.
Usage: python3 bench/python_overhead.py CALL_BENCH [ROUNDS]   (tamsel importable)"""

import subprocess
import sys
import timeit

import numpy as np

import tamsel

LOG2 = (12, 14, 16)


def best(call, budget):
    number = 1
    while timeit.timeit(call, number=number) < 0.002:
        number *= 2
    repeat = max(3, int(budget / (0.002 * 2)))
    return min(timeit.repeat(call, number=number, repeat=repeat)) / number


def main():
    bench = sys.argv[1]
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    rng = np.random.default_rng(7)
    calls = {}
    for log2n in LOG2:
        n = 1 << log2n
        z = rng.uniform(-1, 1, n) + 1j * rng.uniform(-1, 1, n)
        x = rng.uniform(-1, 1, n)
        half = z[:n // 2 + 1].copy()
        calls[("fft", n)] = lambda z=z: tamsel.fft(z)
        calls[("ifft", n)] = lambda z=z: tamsel.ifft(z)
        calls[("rfft", n)] = lambda x=x: tamsel.rfft(x)
        calls[("irfft", n)] = lambda half=half: tamsel.irfft(half)
    python = dict.fromkeys(calls, float("inf"))
    cxx = dict.fromkeys(calls, float("inf"))
    for _ in range(rounds):
        lines = subprocess.run([bench, str(0.1 * len(calls))] + [str(k) for k in LOG2],
                               check=True, capture_output=True, text=True).stdout.split("\n")
        for line in filter(None, lines):
            name, n, us = line.split()
            cxx[(name, int(n))] = min(cxx[(name, int(n))], float(us) * 1e-6)
        for key, call in calls.items():
            python[key] = min(python[key], best(call, 0.1))
    print(f"tamsel {tamsel.__version__}, numpy {np.__version__}, best of {rounds} rounds")
    print(f"{'call':>6} {'n':>6} {'Python us':>10} {'C++ us':>8} {'ratio':>6}")
    for (name, n), t in python.items():
        print(f"{name:>6} {n:>6} {t * 1e6:>10.2f} {cxx[(name, n)] * 1e6:>8.2f} "
              f"{t / cxx[(name, n)]:>6.3f}")


if __name__ == "__main__":
    main()
