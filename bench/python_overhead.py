# SPDX-License-Identifier: BSD-3-Clause
"""tamsel.fft, ifft, rfft and irfft of one row of n values from Python
against the same call from C++ (bench/call_bench: a copy of the input and
the conventional layer's transform, or the real transform into an array
made once), n = 2^12, 2^14, 2^16.  Python's calls with out= an array that
starts on a page, as C++'s result, give the cost of the call itself (a
transform's time depends on where in a page its data start, by up to a
quarter); those without, that of a new result wherever the allocator puts
it.  Rounds of the two alternate, so that
load from elsewhere hits both alike; each figure is the best over the
rounds, the ratio Python's time over C++'s.
Usage: python3 bench/python_overhead.py CALL_BENCH [ROUNDS]   (tamsel importable)"""

import subprocess
import sys
import time
import timeit

import numpy as np

import tamsel

LOG2 = (12, 14, 16)


def best(call, budget):
    timer = timeit.Timer(call, timer=time.process_time)
    number = 1
    while timer.timeit(number=number) < 0.002:
        number *= 2
    repeat = max(3, int(budget / (0.002 * 2)))
    return min(timer.repeat(number=number, repeat=repeat)) / number


def on_page(n, dtype):
    """n values of dtype, not set, starting on a page."""
    size = np.dtype(dtype).itemsize
    memory = np.empty(n + 4096 // size, dtype)
    skip = (-memory.ctypes.data % 4096) // size
    return memory[skip:skip + n]


def main():
    bench = sys.argv[1]
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    rng = np.random.default_rng(7)
    calls, new = {}, {}
    for log2n in LOG2:
        n = 1 << log2n
        z = rng.uniform(-1, 1, n) + 1j * rng.uniform(-1, 1, n)
        x = rng.uniform(-1, 1, n)
        half = z[:n // 2 + 1].copy()
        out, real_out = on_page(n, np.complex128), on_page(n, np.float64)
        calls[("fft", n)] = lambda z=z, out=out: tamsel.fft(z, out=out)
        calls[("ifft", n)] = lambda z=z, out=out: tamsel.ifft(z, out=out)
        calls[("rfft", n)] = lambda x=x, out=out[:n // 2 + 1]: tamsel.rfft(x, out=out)
        calls[("irfft", n)] = lambda half=half, out=real_out: tamsel.irfft(half, out=out)
        new[("fft", n)] = lambda z=z: tamsel.fft(z)
        new[("ifft", n)] = lambda z=z: tamsel.ifft(z)
        new[("rfft", n)] = lambda x=x: tamsel.rfft(x)
        new[("irfft", n)] = lambda half=half: tamsel.irfft(half)
    python = dict.fromkeys(calls, float("inf"))
    python_new = dict.fromkeys(calls, float("inf"))
    cxx = dict.fromkeys(calls, float("inf"))
    for _ in range(rounds):
        lines = subprocess.run([bench, str(0.1 * len(calls))] + [str(k) for k in LOG2],
                               check=True, capture_output=True, text=True).stdout.split("\n")
        for line in filter(None, lines):
            name, n, us = line.split()
            cxx[(name, int(n))] = min(cxx[(name, int(n))], float(us) * 1e-6)
        for key, call in calls.items():
            python[key] = min(python[key], best(call, 0.1))
            python_new[key] = min(python_new[key], best(new[key], 0.1))
    print(f"tamsel {tamsel.__version__}, numpy {np.__version__}, best of {rounds} rounds")
    print(f"{'call':>6} {'n':>6} {'C++ us':>8} {'out= us':>8} {'ratio':>6} {'new us':>8} "
          f"{'ratio':>6}")
    for key, t in python.items():
        c = cxx[key]
        print(f"{key[0]:>6} {key[1]:>6} {c * 1e6:>8.2f} {t * 1e6:>8.2f} {t / c:>6.3f} "
              f"{python_new[key] * 1e6:>8.2f} {python_new[key] / c:>6.3f}")


if __name__ == "__main__":
    main()
