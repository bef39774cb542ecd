# SPDX-License-Identifier: BSD-3-Clause
"""The transforms along one axis and the correlation of the package tamsel,
which documents their conventions; the n-dimensional transforms are in
_transforms_nd, the checks they share in _arguments."""

import numpy as np

from tamsel import _core
from tamsel._arguments import (_along, _check_out, _finish, _fit, _into, _numbers, _one_axis,
                               _result_type, _scale, _swapped)
from tamsel._docs import _filled


def _shape(shape, axis, n):
    shape = list(shape)
    shape[axis] = n
    return shape


def _transform(a, n, axis, norm, out, workers, inverse, routine):
    a, axis, n, workers = _one_axis(a, n, axis, norm, workers, routine)
    dtype = _result_type(a, False)
    _check_out(out, _shape(a.shape, axis, n), dtype, routine)
    factor = _scale(norm, n, inverse, routine)
    result = _along(_core.fft_rows, _fit(a, n, axis), axis, inverse, workers,
                    _into(out, factor, axis == a.ndim - 1))
    return _finish(result, factor, dtype, out)


def _half_spectrum(a, n, axis, norm, out, workers, routine):
    """rfft of the real a; for ihfft its conjugate, with an inverse's
    scaling."""
    a, axis, n, workers = _one_axis(a, n, axis, norm, workers, routine)
    dtype = _result_type(a, False)
    _check_out(out, _shape(a.shape, axis, n // 2 + 1), dtype, routine)
    if routine == "ihfft":
        result = _along(_core.rfft_rows, _fit(a, n, axis), axis, workers)
        np.conjugate(result, out=result)
        return _finish(result, _scale(_swapped(norm), n, False, routine), dtype, out)
    factor = _scale(norm, n, False, routine)
    result = _along(_core.rfft_rows, _fit(a, n, axis), axis, workers,
                    _into(out, factor, axis == a.ndim - 1))
    return _finish(result, factor, dtype, out)


def _real_sequence(a, n, axis, norm, out, workers, routine):
    """irfft of the spectrum a; for hfft that of its conjugate, with a
    forward transform's scaling."""
    a, axis, n, workers = _one_axis(a, n, axis, norm, workers, routine, lambda m: 2 * (m - 1))
    dtype = _result_type(a, True)
    _check_out(out, _shape(a.shape, axis, n), dtype, routine)
    hfft = routine == "hfft"  # irfft of conj(a), each row conjugated in the core
    factor = _scale(_swapped(norm) if hfft else norm, n, True, routine)
    result = _along(_core.irfft_rows, _fit(a, n // 2 + 1, axis), axis, n, workers, hfft,
                    _into(out, factor, axis == a.ndim - 1))
    return _finish(result, factor, dtype, out)


@_filled
def fft(a, n=None, axis=-1, norm=None, *, out=None, overwrite_x=False, workers=None):
    """The discrete Fourier transform along one axis, numpy.fft.fft's way.

    out[..., k] = sum_{j=0..n-1} a[..., j] * exp(-2*pi*i * j*k / n)

    unscaled (norm None or "backward"; "forward" divides by n, "ortho" by
    sqrt(n)).  Index k of the spectrum at position k (frequency k/n; the
    upper half holds the negative frequencies, as numpy.fft.fftfreq says).
    n, the length along `axis` (after cutting or padding `a` to n when n is
    given), may be any from 1 to 2**29.

    Powers of two run the toolkit's radix-2 engine (four1's steps and
    kernels); every other length goes through the any-length engine: mixed
    radix (radices 8, 4, 2, 3, 5, 7, 11, 13 and the primes up to 131) or,
    for a larger prime factor, Bluestein's chirp convolution.  In both,
    every twiddle factor is the double nearest exp(-2*pi*i*k/n), computed
    by tamsel's own arithmetic, so the bits are the same on every machine.
    Relative RMS error against a 120-bit reference (a long-double one above
    4096), values uniform in [-1, 1) (bench/python_accuracy.py, table in
    doc/python.md): powers of two 4e-17 to 2.4e-16 up to 4096, 3.4e-16 at
    2**22; other lengths from 3 to 4096 7e-17 to 2.4e-16, 4.1e-16 to
    4.3e-16 for the primes 1009 and 10007 (Bluestein): at or below
    scipy.fft's error at every length measured but 32 (1.03 times).
    next_fast_len gives lengths that avoid Bluestein.

    Parameters
    ----------
    {a_numbers}
    n : int, optional
        The length along `axis`: `a` is cut or padded with zeros to it.
    {axis}
    {norm}
    out : ndarray, optional (keyword)
        Filled with the result and returned: written directly when
        C-contiguous, of double precision and needing no scaling after
        the transform, else by one copy; of the result's shape and dtype,
        else refused before anything is computed.
    overwrite_x : bool, optional (keyword)
        Accepted for scipy.fft's signature; `a` is never changed.
    workers : int, optional (keyword)
        Threads over the batch (the rows along the other axes), scipy.fft's
        way: None one, -1 one per processor; at most one per 2**18 values.
        The bits do not depend on it.

    Returns
    -------
    ndarray of complex128, or complex64 for float16, float32 or complex64 `a`
        Shaped as `a`, with n along `axis`.  Single precision is computed
        in double and rounded once at the end.

    Raises
    ------
    ValueError
        For a length below 1 or above 2**29 (naming it), an axis out of
        range, an unknown norm or an `out` of another shape; checked before
        anything is converted or allocated.
    {type_error}
    """
    if axis == -1 and norm is None and workers is None:
        result = _core.fft_common(a, out, n)  # None unless of the common case
        if result is not None:
            return result
    return _transform(a, n, axis, norm, out, workers, False, "fft")


@_filled
def ifft(a, n=None, axis=-1, norm=None, *, out=None, overwrite_x=False, workers=None):
    """The inverse of fft along one axis, numpy.fft.ifft's way.

    out[..., j] = 1/n * sum_{k=0..n-1} a[..., k] * exp(+2*pi*i * j*k / n)

    (norm "forward" leaves out the 1/n, "ortho" takes 1/sqrt(n)).  The 1/n
    is exact for powers of two and otherwise a division by n, correctly
    rounded; other lengths take the conjugate of fft of the conjugate.
    Lengths and accuracy as fft.

    Parameters
    ----------
    a, n, axis, norm, out, overwrite_x, workers
        As fft.

    Returns
    -------
    ndarray of complex128 (complex64 for single precision), as fft

    Raises
    ------
    ValueError, TypeError
        As fft.
    """
    if axis == -1 and norm is None and workers is None:
        result = _core.ifft_common(a, out, n)  # None unless of the common case
        if result is not None:
            return result
    return _transform(a, n, axis, norm, out, workers, True, "ifft")


@_filled
def rfft(a, n=None, axis=-1, norm=None, *, out=None, overwrite_x=False, workers=None):
    """The spectrum of a real sequence, numpy.fft.rfft's way.

    out[..., k] = sum_{j=0..n-1} a[..., j] * exp(-2*pi*i * j*k / n) for
    k = 0 .. n/2, n/2 + 1 values (the others are their conjugates); out[0]
    and (n even) out[n/2] are real.  a is taken as real; n any from 1 to
    2**29 (even n up to 256: fft of the n values, as accurate as a
    real-input algorithm; longer even n: one complex transform of n/2
    values and a recombination; odd n: fft of the n values, or at a prime
    up to 199 its direct sums on real values).

    Parameters
    ----------
    {a_real}
    {axis}
    {norm}
    {keywords_as_fft}

    {returns_half_spectrum}
    """
    if axis == -1 and norm is None and workers is None:
        result = _core.rfft_common(a, out, n)  # None unless of the common case
        if result is not None:
            return result
    return _half_spectrum(a, n, axis, norm, out, workers, "rfft")


@_filled
def irfft(a, n=None, axis=-1, norm=None, *, out=None, overwrite_x=False, workers=None):
    """The real sequence of a spectrum of n/2 + 1 values, numpy.fft.irfft's way.

    out[..., j] = 1/n * sum_{k=0..n-1} X[k] * exp(+2*pi*i * j*k / n), with
    X[k] = a[..., k] for k <= n/2 and X[n-k] = conj(X[k]); the imaginary
    part of a[..., 0] (and, n even, of a[..., n/2]) is not used.  n, any
    from 1 to 2**29, even or odd, defaults to 2 * (m - 1) for m values
    along `axis`; a is cut or padded to n/2 + 1 values.

    Parameters
    ----------
    a : array_like
        The spectrum, taken as complex128.
    n : int, optional
        The length of the result along `axis`.
    {axis}
    {norm}
    {keywords_as_fft}

    {returns_real_sequence}
    """
    if axis == -1 and norm is None and workers is None:
        result = _core.irfft_common(a, out, n)  # None unless of the common case
        if result is not None:
            return result
    return _real_sequence(a, n, axis, norm, out, workers, "irfft")


@_filled
def hfft(a, n=None, axis=-1, norm=None, *, out=None, overwrite_x=False, workers=None):
    """The real spectrum of a Hermitian sequence given by its first half,
    numpy.fft.hfft's way.

    out[..., k] = sum_{j=0..n-1} X[j] * exp(-2*pi*i * j*k / n), with
    X[j] = a[..., j] for j <= n/2 and X[n-j] = conj(X[j]): unscaled (norm
    None or "backward"; "forward" divides by n, "ortho" by sqrt(n)).  It
    is n * irfft(conj(a), n), the n taken as one more rounding.  n defaults
    to 2 * (m - 1) for m values along `axis`; `a` is cut or padded to
    n/2 + 1 values, and the imaginary part of a[..., 0] (and, n even, of
    a[..., n/2]) is not used.

    Parameters
    ----------
    a : array_like
        The first n/2 + 1 values of the Hermitian sequence.
    n : int, optional
        The length of the result along `axis`.
    axis, norm, out, overwrite_x, workers
        As fft.

    {returns_real_sequence}
    """
    return _real_sequence(a, n, axis, norm, out, workers, "hfft")


@_filled
def ihfft(a, n=None, axis=-1, norm=None, *, out=None, overwrite_x=False, workers=None):
    """The first half of the Hermitian sequence whose hfft is the real `a`,
    numpy.fft.ihfft's way.

    out[..., j] = 1/n * sum_{k=0..n-1} a[..., k] * exp(+2*pi*i * j*k / n)
    for j = 0 .. n/2, n/2 + 1 values (norm "forward" leaves out the 1/n,
    "ortho" takes 1/sqrt(n)): conj(rfft(a)) / n.

    Parameters
    ----------
    {a_real}
    axis, norm, out, overwrite_x, workers
        As fft.

    {returns_half_spectrum}
    """
    return _half_spectrum(a, n, axis, norm, out, workers, "ihfft")


def correlate(a, b):
    """Circular cross-correlation of two real sequences through the FFT.

    out[m] = sum_{j=0..n-1} a[(j + m) % n] * b[j]   for m = 0 .. n-1

    unnormalised: out[0] is sum(a * b).  Lag m at index m; a negative lag -m
    is the same as lag n - m and stands at index n - m (lag -1 last).  This
    is numpy.correlate(np.tile(a, 2), b)[:n]; for numpy's "full"
    correlation, pad both with zeros to a power of two of at least
    2 * len - 1 values.  n = len(a) = len(b) a power of two from 2 to 8192.

    Both sequences go through one complex transform, so the rounding error
    is relative to the larger of the two: if one is 1e12 times smaller than
    the other, its contribution is lost.  Scale them alike first.

    Parameters
    ----------
    a, b : array_like of float, 1-D
        Of one length n.

    Returns
    -------
    ndarray of float64
        n values, lag m at index m.

    Raises
    ------
    ValueError
        For lengths that differ or are not a power of two from 2 to 8192.
    TypeError
        When `a` or `b` does not hold numbers.
    """
    return _core.correlate(_numbers(a, "correlate", "a"),
                           _numbers(b, "correlate", "b"))
