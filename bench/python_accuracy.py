# SPDX-License-Identifier: BSD-3-Clause
"""The accuracy of tamsel.fft next to numpy.fft and scipy.fft: the relative
RMS error sqrt(sum |X - R|^2 / sum |R|^2) of the spectrum X of complex128
values uniform in [-1, 1) against a reference R computed exactly in
fixed-point integers of 120 fractional bits (twiddles from mpmath at 160
bits), for n <= 4096; and the round trip irfft(rfft(x)) of real values,
as sqrt(sum (y - x)^2 / sum x^2).  One input per length, the same for the
three libraries.  Then single precision: the relative RMS error of fft of
complex64 values and of the round trip of float32 values, tamsel (computed
in double, rounded once) next to scipy.fft (computed in single), against
numpy.fft in double of the same values.
Usage: python3 bench/python_accuracy.py   (tamsel, scipy and mpmath importable)"""

import mpmath
import numpy as np
import scipy.fft

import tamsel

BITS = 120
ONE = 1 << BITS


def roots(n):
    """exp(-2 pi i k/n), k < n, as fixed-point integers."""
    mpmath.mp.prec = BITS + 40
    out = []
    for k in range(n):
        c, s = mpmath.cospi(mpmath.mpf(2 * k) / n), mpmath.sinpi(mpmath.mpf(2 * k) / n)
        out.append((int(mpmath.nint(c * ONE)), -int(mpmath.nint(s * ONE))))
    return out


def smallest_factor(n):
    p = 2
    while p * p <= n:
        if n % p == 0:
            return p
        p += 1
    return n


def dft(re, im, w, stride):
    """The transform of the fixed-point sequence re + i im (n values), w the
    roots of n * stride values: decimation in time by the smallest prime
    factor, a direct sum for a prime."""
    n = len(re)
    if n == 1:
        return re, im
    p = smallest_factor(n)
    if p == n:
        out_re, out_im = [], []
        for k in range(n):
            sr = si = 0
            for j in range(n):
                wr, wi = w[(j * k % n) * stride]
                sr += re[j] * wr - im[j] * wi
                si += re[j] * wi + im[j] * wr
            out_re.append(sr >> BITS)
            out_im.append(si >> BITS)
        return out_re, out_im
    m = n // p
    parts = [dft(re[r::p], im[r::p], w, stride * p) for r in range(p)]
    out_re, out_im = [0] * n, [0] * n
    for k in range(n):
        sr, si = parts[0][0][k % m] << BITS, parts[0][1][k % m] << BITS
        for r in range(1, p):
            wr, wi = w[(r * k % n) * stride]
            a, b = parts[r][0][k % m], parts[r][1][k % m]
            sr += a * wr - b * wi
            si += a * wi + b * wr
        out_re[k], out_im[k] = sr >> BITS, si >> BITS
    return out_re, out_im


def fixed(values):
    return [int(v * float(ONE)) for v in values]  # exact: a power-of-two scaling


def relative_rms(got, ref_re, ref_im):
    err = power = 0.0
    for g, r, i in zip(got, ref_re, ref_im):
        dr = int(g.real * float(ONE)) - r
        di = int(g.imag * float(ONE)) - i
        err += float(dr) ** 2 + float(di) ** 2
        power += float(r) ** 2 + float(i) ** 2
    return (err / power) ** 0.5


def round_trip(fft, x):
    y = fft.irfft(fft.rfft(x), len(x))
    return float(np.sqrt(np.sum((y - x) ** 2) / np.sum(x ** 2)))


def lengths():
    out = {2 ** k for k in range(1, 13)}
    out |= {3 * 2 ** k for k in range(0, 11)} | {5 * 2 ** k for k in range(0, 10)}
    return sorted(out | {1000, 17, 1009})


def main():
    rng = np.random.default_rng(43)
    print(f"tamsel {tamsel.__version__}, numpy {np.__version__}, scipy {scipy.__version__}")
    print("relative RMS error of fft against a 120-bit reference; irfft(rfft(x)) round trip")
    head = ("n", "tamsel", "numpy", "scipy", "trip tamsel", "trip numpy", "trip scipy")
    print("| " + " | ".join(head) + " |")
    print("|" + "---|" * len(head))
    for n in lengths():
        z = rng.uniform(-1, 1, n) + 1j * rng.uniform(-1, 1, n)
        ref = dft(fixed(z.real), fixed(z.imag), roots(n), 1)
        errors = [relative_rms(f.fft(z), *ref) for f in (tamsel, np.fft, scipy.fft)]
        x = rng.uniform(-1, 1, n)
        trips = [round_trip(f, x) for f in (tamsel, np.fft, scipy.fft)]
        print(f"| {n} | " + " | ".join(f"{e:.2g}" for e in errors + trips) + " |", flush=True)
    single(rng)


def relative(got, want):
    return float(np.sqrt(np.sum(np.abs(got - want) ** 2) / np.sum(np.abs(want) ** 2)))


def single(rng):
    print("single precision: relative RMS error against numpy.fft in double")
    head = ("n", "fft tamsel", "fft scipy", "trip tamsel", "trip scipy")
    print("| " + " | ".join(head) + " |")
    print("|" + "---|" * len(head))
    for n in (16, 17, 1000, 1009, 1024, 4096, 3 * 2**14, 2**16, 100003, 2**20):
        z = (rng.uniform(-1, 1, n) + 1j * rng.uniform(-1, 1, n)).astype(np.complex64)
        want = np.fft.fft(z.astype(np.complex128))
        x = rng.uniform(-1, 1, n).astype(np.float32)
        errors = [relative(f.fft(z), want) for f in (tamsel, scipy.fft)]
        trips = [relative(f.irfft(f.rfft(x), n), x.astype(np.float64)) for f in (tamsel, scipy.fft)]
        print(f"| {n} | " + " | ".join(f"{e:.2g}" for e in errors + trips) + " |", flush=True)


if __name__ == "__main__":
    main()
