# SPDX-License-Identifier: BSD-3-Clause
"""tamsel's transforms against numpy.fft and scipy.fft in one process, on
the same arrays, one thread: fft, rfft and irfft of lengths 2^7 .. 2^20,
3 * 2^k, 5 * 2^k, 1000, 10^4, 10^5, 10^6 and the primes 1009 and 10007;
fftn of a few shapes and fft of a batch.  Values uniform in [-1, 1).
Each figure is the best over several rounds of the mean time of a batch of
calls; the ratios are tamsel's time over numpy's and over scipy's (below 1:
tamsel is faster).
Usage: python3 bench/python_fft.py [--quick]   (tamsel and scipy importable;
--quick: lengths up to 2^16 and the small shapes)"""

import sys
import timeit

import numpy as np
import scipy.fft

import tamsel


def best(call, budget=0.2, rounds=7):
    number = 1
    while timeit.timeit(call, number=number) < budget / rounds / 4:
        number *= 2
    return min(timeit.repeat(call, number=number, repeat=rounds)) / number


def lengths(quick):
    top = 16 if quick else 20
    ns = [1 << k for k in range(7, top + 1)]
    ns += [3 << k for k in range(6, top - 1, 3)] + [5 << k for k in range(6, top - 2, 3)]
    ns += [1000, 1009, 10**4, 10007] + ([] if quick else [10**5, 10**6])
    return sorted(ns)


def row(name, size, calls):
    times = [best(call) for call in calls]
    ratios = [times[0] / t for t in times[1:]]
    print(f"{name:<6} {size:>14} {times[0] * 1e6:>11.2f} {times[1] * 1e6:>11.2f} "
          f"{times[2] * 1e6:>11.2f} {ratios[0]:>7.2f} {ratios[1]:>7.2f}", flush=True)
    return ratios[1]


def main():
    quick = "--quick" in sys.argv[1:]
    rng = np.random.default_rng(7)
    print(f"tamsel {tamsel.__version__}, numpy {np.__version__}, scipy {scipy.__version__},"
          " one thread")
    print(f"{'call':<6} {'size':>14} {'tamsel us':>11} {'numpy us':>11} {'scipy us':>11}"
          f" {'/numpy':>7} {'/scipy':>7}")
    worst = {}
    libraries = (tamsel, np.fft, scipy.fft)
    for n in lengths(quick):
        z = rng.uniform(-1, 1, n) + 1j * rng.uniform(-1, 1, n)
        x = rng.uniform(-1, 1, n)
        s = np.fft.rfft(x)
        for name, call in (("fft", lambda f: f.fft(z)), ("rfft", lambda f: f.rfft(x)),
                           ("irfft", lambda f: f.irfft(s, n))):
            ratio = row(name, n, [lambda f=f, call=call: call(f) for f in libraries])
            worst[name] = max(worst.get(name, 0.0), ratio)
    shapes = [(64, 64), (512, 512), (64, 64, 64), (1000, 1000)]
    shapes += [] if quick else [(2048, 2048)]
    for shape in shapes:
        z = rng.uniform(-1, 1, shape) + 1j * rng.uniform(-1, 1, shape)
        ratio = row("fftn", "x".join(map(str, shape)), [lambda f=f: f.fftn(z) for f in libraries])
        worst["fftn"] = max(worst.get("fftn", 0.0), ratio)
    z = rng.uniform(-1, 1, (1000, 1024)) + 1j * rng.uniform(-1, 1, (1000, 1024))
    worst["batch"] = row("batch", "1000x1024", [lambda f=f: f.fft(z) for f in libraries])
    print("largest ratio to scipy: " + ", ".join(f"{k} {v:.2f}" for k, v in worst.items()))


if __name__ == "__main__":
    main()
