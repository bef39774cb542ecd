# SPDX-License-Identifier: BSD-3-Clause
"""The accuracy of tamsel.fft next to numpy.fft and scipy.fft: the relative
RMS error sqrt(sum |X - R|^2 / sum |R|^2) of the spectrum X of complex128
values uniform in [-1, 1) against a reference R: for n <= 4096 computed
exactly in fixed-point integers of 120 fractional bits (twiddles from mpmath
at 160 bits), above in long double (64-bit significand: numpy.longdouble
on x86), by decimation in time over the prime factors with roots from
long-double cos and sin (a direct sum for a prime), whose own error,
about 1e-19 sqrt(log2 n), is below what the table shows; and the round trips
ifft(fft(z)) and irfft(rfft(x)) of the same values, as sqrt(sum |y - x|^2 /
sum |x|^2), each pooled over several inputs at the shorter lengths (at
least 2^14 values per length: sums of squares over all of them), the
same inputs for the three libraries.
Lengths: powers of two 2 .. 2^22, 3 * 2^k and 5 * 2^k, 1000, 10^4, 10^6 and
the primes 17, 61, 67, 131, 1009, 10007: a few minutes on 2 cores; --quick
stops at 2^16 (about 15 seconds).  Then single precision: the relative RMS error of
fft of complex64 values and of the round trip of float32 values, tamsel
(computed in double, rounded once) next to scipy.fft (computed in single),
against numpy.fft in double of the same values.
Usage: python3 bench/python_accuracy.py [--quick]   (tamsel, scipy and mpmath
importable)"""

import sys

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


def squares(got, ref_re, ref_im):
    """sum |got - ref|^2 and sum |ref|^2, ref in fixed point."""
    err = power = 0.0
    for g, r, i in zip(got, ref_re, ref_im):
        dr = int(g.real * float(ONE)) - r
        di = int(g.imag * float(ONE)) - i
        err += float(dr) ** 2 + float(di) ** 2
        power += float(r) ** 2 + float(i) ** 2
    return np.array([err, power])


def wide_roots(n):
    """exp(-2 pi i k/n), k < n, in long double."""
    pi = np.longdouble("3.14159265358979323846264338327950288")
    angle = np.arange(n, dtype=np.longdouble) * (2 * pi / np.longdouble(n))
    return np.cos(angle) - 1j * np.sin(angle).astype(np.clongdouble)


def wide_dft(rows, roots, stride):
    """The transforms of the rows (a 2-D array of clongdouble), each of n
    values; roots those of n * stride values."""
    count, n = rows.shape
    if n == 1:
        return rows
    p = smallest_factor(n)
    if p == n:
        out = np.empty_like(rows)
        j = np.arange(n)
        for first in range(0, n, 256):
            k = np.arange(first, min(n, first + 256))
            w = roots[(np.outer(k, j) % n) * stride]
            out[:, first:first + len(k)] = rows @ w.T
        return out
    m = n // p
    parts = wide_dft(rows.reshape(count, m, p).transpose(0, 2, 1).reshape(count * p, m),
                     roots, stride * p).reshape(count, p, m)
    k = np.arange(n)
    out = parts[:, 0, k % m].copy()
    for r in range(1, p):
        out += roots[(r * k % n) * stride] * parts[:, r, k % m]
    return out


def wide_squares(got, want):
    return np.array([float(np.sum(np.abs(got.astype(np.clongdouble) - want) ** 2)),
                     float(np.sum(np.abs(want) ** 2))])


def trip_squares(x, y):
    return np.array([np.sum(np.abs(y - x) ** 2), np.sum(np.abs(x) ** 2)])


def trip(x, y):
    err, power = trip_squares(x, y)
    return float(np.sqrt(err / power))


def inputs(n):
    """Inputs pooled at length n: one error of a short transform says
    little, so that each length sees at least 2^14 values."""
    return max(1, 2 ** 14 // n)


def lengths(quick):
    out = {2 ** k for k in range(1, 23)}
    out |= {3 * 2 ** k for k in list(range(0, 11)) + [12, 14, 16, 18]}
    out |= {5 * 2 ** k for k in list(range(0, 10)) + [12, 14, 16, 18]}
    out |= {1000, 10 ** 4, 10 ** 6, 17, 61, 67, 131, 1009, 10007}
    return sorted(n for n in out if not quick or n <= 2 ** 16)


def main():
    quick = "--quick" in sys.argv[1:]
    rng = np.random.default_rng(43)
    libraries = (tamsel, np.fft, scipy.fft)
    print(f"tamsel {tamsel.__version__}, numpy {np.__version__}, scipy {scipy.__version__}")
    print("relative RMS error of fft (reference: 120-bit fixed point up to 4096, long double"
          " above); round trips ifft(fft(z)) and irfft(rfft(x))")
    head = ("n", "tamsel", "numpy", "scipy", "ifft trip tamsel", "numpy", "scipy",
            "irfft trip tamsel", "numpy", "scipy")
    print("| " + " | ".join(head) + " |")
    print("|" + "---|" * len(head))
    for n in lengths(quick):
        sums = np.zeros((9, 2))
        w = roots(n) if n <= 4096 else wide_roots(n)
        for _ in range(inputs(n)):
            z = rng.uniform(-1, 1, n) + 1j * rng.uniform(-1, 1, n)
            if n <= 4096:
                ref = dft(fixed(z.real), fixed(z.imag), w, 1)
                sums[0:3] += [squares(f.fft(z), *ref) for f in libraries]
            else:
                want = wide_dft(z.astype(np.clongdouble).reshape(1, n), w, 1)[0]
                sums[0:3] += [wide_squares(f.fft(z), want) for f in libraries]
            sums[3:6] += [trip_squares(z, f.ifft(f.fft(z))) for f in libraries]
            x = rng.uniform(-1, 1, n)
            sums[6:9] += [trip_squares(x, f.irfft(f.rfft(x), n)) for f in libraries]
        errors = np.sqrt(sums[:, 0] / sums[:, 1])
        print(f"| {n} | " + " | ".join(f"{e:.2g}" for e in errors) + " |", flush=True)
    single(rng)


def single(rng):
    print("single precision: relative RMS error against numpy.fft in double")
    head = ("n", "fft tamsel", "fft scipy", "trip tamsel", "trip scipy")
    print("| " + " | ".join(head) + " |")
    print("|" + "---|" * len(head))
    for n in (16, 17, 1000, 1009, 1024, 4096, 3 * 2**14, 2**16, 100003, 2**20):
        z = (rng.uniform(-1, 1, n) + 1j * rng.uniform(-1, 1, n)).astype(np.complex64)
        want = np.fft.fft(z.astype(np.complex128))
        x = rng.uniform(-1, 1, n).astype(np.float32)
        errors = [trip(want, f.fft(z)) for f in (tamsel, scipy.fft)]
        trips = [trip(x.astype(np.float64), f.irfft(f.rfft(x), n)) for f in (tamsel, scipy.fft)]
        print(f"| {n} | " + " | ".join(f"{e:.2g}" for e in errors + trips) + " |", flush=True)


if __name__ == "__main__":
    main()
