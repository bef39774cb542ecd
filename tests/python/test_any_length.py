# SPDX-License-Identifier: BSD-3-Clause
"""Lengths that are not powers of two: the twiddle factors against a
high-precision reference, the transforms against numpy and scipy, and the
helpers against numpy's."""

import math

import mpmath
import numpy as np
import pytest
import scipy.fft

import tamsel

EPS = np.finfo(np.float64).eps
RNG = np.random.default_rng(20261208)


def test_twiddles_are_correctly_rounded():
    # exp(-2 pi i k/n) for n up to 2^22 (and far beyond), the first k and
    # random ones: each part the double nearest the true value (within
    # half a unit in the last place; exact zeros and ones exact).
    mpmath.mp.prec = 120
    for n in (1, 2, 3, 5, 7, 8, 12, 360, 1009, 4096, 10007, 3 * 2**16, 2**20 - 3, 3 * 2**20,
              2**22 - 1, 2**22, 2**40 - 87):
        k = np.unique(np.concatenate([np.arange(min(n, 200)), RNG.integers(0, n, 300)]))
        w = tamsel._core.unit_roots(n, k.astype(np.uint64))
        for kk, got in zip(k.tolist(), w):
            turns = mpmath.mpf(2 * kk) / n  # exact wherever the value is 0 or 1
            for part, exact in ((got.real, mpmath.cospi(turns)), (got.imag, -mpmath.sinpi(turns))):
                nearest = float(exact)
                assert part == nearest or abs(part - exact) <= 0.5 * math.ulp(nearest), (n, kk)


LENGTHS = [3, 5, 6, 7, 9, 10, 11, 12, 13, 15, 17, 22, 30, 49, 60, 77, 97, 100, 121, 143, 210,
           243, 360, 625, 1000, 1001, 1009, 1536, 2187, 2401, 4095, 10007, 3 * 2**14, 99991]


@pytest.mark.parametrize("n", LENGTHS)
def test_any_length_agrees_with_numpy_and_scipy(n):
    rows = 3 if n < 5000 else 1
    z = RNG.uniform(-1, 1, (rows, n)) + 1j * RNG.uniform(-1, 1, (rows, n))
    x = z.real.copy()
    scale = np.sqrt(n)
    tol = 8 * EPS * np.sqrt(np.log2(n))
    for reference in (np.fft, scipy.fft):
        for got, want in ((tamsel.fft(z), reference.fft(z)),
                          (tamsel.ifft(z) * n, reference.ifft(z) * n),
                          (tamsel.rfft(x), reference.rfft(x)),
                          (tamsel.fft(z.T, axis=0), reference.fft(z.T, axis=0))):
            assert np.max(np.abs(got - want)) <= tol * scale, reference.__name__
        spectrum = reference.rfft(x)
        for m in (n, n - 1):  # irfft to even and odd lengths
            assert np.max(np.abs(tamsel.irfft(spectrum, m) - reference.irfft(spectrum, m))) <= tol
    assert np.max(np.abs(tamsel.ifft(tamsel.fft(z)) - z)) <= tol
    assert np.max(np.abs(tamsel.irfft(tamsel.rfft(x), n) - x)) <= tol
    if n < 5000:
        grid = z.reshape(rows, n, 1) * np.ones(4)
        assert np.max(np.abs(tamsel.fftn(grid) - np.fft.fftn(grid))) <= 4 * tol * scale * 6


def test_workers_leave_the_bits_alone():
    # Every transform of a batch, with 1, 2, 3 threads and one per
    # processor: the same bits; and the misuse of workers refused.
    for n in (1000, 1024, 17 * 3):
        z = RNG.standard_normal((7, n)) + 1j * RNG.standard_normal((7, n))
        calls = (lambda w: tamsel.fft(z, workers=w), lambda w: tamsel.ifft(z, axis=0, workers=w),
                 lambda w: tamsel.rfft(z.real, workers=w),
                 lambda w: tamsel.irfft(z, n, workers=w),
                 lambda w: tamsel.fftn(z.reshape(7, 1, n), axes=(1, 2), workers=w),
                 lambda w: tamsel.ifftn(np.resize(z, (512, n)), workers=w))  # one block
        for call in calls:
            one = call(None).tobytes()
            assert all(call(w).tobytes() == one for w in (2, 3, -1))
    with pytest.raises(ValueError, match="^fft: workers must not be 0"):
        tamsel.fft(np.ones(4), workers=0)
    with pytest.raises(TypeError, match="^rfft: workers must be an integer"):
        tamsel.rfft(np.ones(4), workers=1.5)


def smooth(n):
    for p in (2, 3, 5, 7):
        while n % p == 0:
            n //= p
    return n == 1


def test_helpers_are_numpys():
    fast = [m for m in range(1, 1100) if smooth(m)]
    for n in list(range(1, 40)) + [1000, 1001]:
        assert tamsel.next_fast_len(n) == min(m for m in fast if m >= n)
        for d in (1.0, 0.25, 3.0):
            assert tamsel.fftfreq(n, d).tolist() == np.fft.fftfreq(n, d).tolist()
            assert tamsel.rfftfreq(n, d).tolist() == np.fft.rfftfreq(n, d).tolist()
    a = RNG.standard_normal((5, 6, 7))
    for axes in (None, 1, (0, 2), (-1,)):
        assert np.array_equal(tamsel.fftshift(a, axes), np.fft.fftshift(a, axes))
        assert np.array_equal(tamsel.ifftshift(a, axes), np.fft.ifftshift(a, axes))
