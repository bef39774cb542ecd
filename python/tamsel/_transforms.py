# SPDX-License-Identifier: BSD-3-Clause
"""The transforms, the correlation, the Chebyshev series and the table
function of the package tamsel, which documents their conventions."""

import operator
import os

import numpy as np

from tamsel import _core


def _axis(axis, ndim):
    try:
        axis = operator.index(axis)
    except TypeError:
        raise TypeError("axis must be an integer") from None
    if not -ndim <= axis < ndim:
        raise np.AxisError(axis, ndim)
    return axis % ndim


def _numbers(a, routine, name="a"):
    """a as an array, or TypeError or ValueError in the routine's own words
    when it is not an array of numbers (booleans, integers, reals or complex
    numbers, as numpy converts them)."""
    if type(a) is np.ndarray and a.dtype.kind in "biufc":
        return a
    if isinstance(a, (str, bytes)):
        raise TypeError(f"{routine}: {name} must be an array of numbers, not {type(a).__name__}")
    try:
        out = np.asarray(a)
    except ValueError:
        raise ValueError(f"{routine}: {name} is not a rectangular array: "
                         "its rows differ in length") from None
    if out.dtype.kind not in "biufc":
        raise TypeError(f"{routine}: {name} must be an array of numbers, not of {out.dtype}")
    return out


_LARGEST = 1 << 29


def _length(n, routine):
    """n as a transform's length, from 1 to 2**29, else TypeError or
    ValueError in the routine's own words."""
    try:
        n = operator.index(n)
    except TypeError:
        raise TypeError(f"{routine}: n must be an integer") from None
    if n < 1:
        raise ValueError(f"{routine}: invalid number of data points ({n}) specified")
    if n > _LARGEST:
        raise ValueError(f"{routine}: length {n} is not from 1 to {_LARGEST}")
    return n


def _workers(workers, routine):
    """The number of threads, scipy.fft's way: None 1, -1 every processor,
    -k k-1 fewer; ValueError for 0 or below minus the number of processors."""
    if workers is None:
        return 1
    try:
        workers = operator.index(workers)
    except TypeError:
        raise TypeError(f"{routine}: workers must be an integer") from None
    cores = os.cpu_count() or 1
    if workers < 0:
        if workers < -cores:
            raise ValueError(f"{routine}: workers = {workers} asks for fewer than none of the "
                             f"{cores} processors")
        workers += cores + 1
    if workers == 0:
        raise ValueError(f"{routine}: workers must not be 0")
    return workers


def _fit(a, n, axis):
    """a with its axis cut or padded with zeros to n values (n checked)."""
    m = a.shape[axis]
    if n == m:
        return a
    if n < m:
        index = [slice(None)] * a.ndim
        index[axis] = slice(0, n)
        return a[tuple(index)]
    shape = list(a.shape)
    shape[axis] = n
    padded = np.zeros(shape, dtype=np.result_type(a.dtype, np.float64))
    index = [slice(None)] * a.ndim
    index[axis] = slice(0, m)
    padded[tuple(index)] = a
    return padded


def _scale(norm, n, inverse, routine):
    """The factor that turns the backward-normalised result into norm's."""
    if norm is None or norm == "backward":
        return None
    if norm == "forward":
        return float(n) if inverse else 1.0 / n
    if norm == "ortho":
        return float(np.sqrt(n)) if inverse else 1.0 / float(np.sqrt(n))
    raise ValueError(f'{routine}: invalid norm {norm!r}; use None, "backward", "ortho" or "forward"')


def _along(core, a, axis, *args):
    """core applied along the last axis of a, after moving axis there."""
    if axis == a.ndim - 1:
        return core(a, *args)
    return np.moveaxis(core(np.moveaxis(a, axis, -1), *args), -1, axis)


def _one_axis(a, n, axis, norm, workers, routine, default=None):
    """a as an array, its axis, the length along it (n, or `default` of the
    axis's length, or the axis's length) and the number of threads, every
    argument checked before anything is converted or allocated."""
    a = _numbers(a, routine)
    if a.ndim == 0:
        raise ValueError(f"{routine}: the array has no axis")
    axis = _axis(axis, a.ndim)
    _scale(norm, 1, False, routine)
    workers = _workers(workers, routine)
    if n is None:
        n = a.shape[axis] if default is None else default(a.shape[axis])
    return a, axis, _length(n, routine), workers


def _transform(a, n, axis, norm, workers, inverse, routine):
    if (type(a) is np.ndarray and n is None and axis == -1 and norm is None and workers is None
            and a.ndim > 0 and 1 <= a.shape[-1] <= _LARGEST and a.dtype.kind in "biufc"):
        return _core.fft_rows(a, inverse, 1)  # the common case, every argument checked
    a, axis, n, workers = _one_axis(a, n, axis, norm, workers, routine)
    out = _along(_core.fft_rows, _fit(a, n, axis), axis, inverse, workers)
    factor = _scale(norm, n, inverse, routine)
    if factor is not None:
        out *= factor
    return out


def fft(a, n=None, axis=-1, norm=None, *, workers=None):
    """The discrete Fourier transform along one axis, numpy.fft.fft's way.

    out[..., k] = sum_{j=0..n-1} a[..., j] * exp(-2*pi*i * j*k / n)

    unscaled (norm None or "backward"; "forward" divides by n, "ortho" by
    sqrt(n)).  Index k of the spectrum at position k (frequency k/n; the
    upper half holds the negative frequencies, as numpy.fft.fftfreq says).
    n, the length along `axis` (after cutting or padding `a` to n when n is
    given), may be any from 1 to 2**29.

    Powers of two run the toolkit's radix-2 engine (four1's steps and
    kernels); every other length goes through the any-length engine: mixed
    radix (radices 8, 4, 2, 3, 5, 7, 11, 13 and the primes up to 61) or,
    for a larger prime factor, Bluestein's chirp convolution.  In both,
    every twiddle factor is the double nearest exp(-2*pi*i*k/n), computed
    by tamsel's own arithmetic, so the bits are the same on every machine.
    Relative RMS error against a 120-bit reference (a long-double one above
    4096), values uniform in [-1, 1) (bench/python_accuracy.py, table in
    doc/python.md): powers of two 7e-17 to 2.3e-16 up to 4096, 3.4e-16 at
    2**22; other lengths from 3 to 4096 5e-17 to 2.4e-16, 4.1e-16 for the
    primes 1009 and 10007 (Bluestein): numpy's and scipy's accuracy.
    next_fast_len gives lengths that avoid Bluestein.

    Parameters
    ----------
    a : array_like
        Taken as complex128.
    n : int, optional
        The length along `axis`: `a` is cut or padded with zeros to it.
    axis : int, optional
        The axis transformed (the last by default); the others are a batch.
    norm : {None, "backward", "forward", "ortho"}, optional
        The scaling, as numpy.fft's.
    workers : int, optional (keyword)
        Threads over the batch (the rows along the other axes), scipy.fft's
        way: None one, -1 one per processor.  The bits do not depend on it.

    Returns
    -------
    ndarray of complex128
        Shaped as `a`, with n along `axis`.

    Raises
    ------
    ValueError
        For a length below 1 or above 2**29 (naming it), an axis out of
        range or an unknown norm; checked before anything is converted.
    TypeError
        When `a` does not hold numbers.
    """
    return _transform(a, n, axis, norm, workers, False, "fft")


def ifft(a, n=None, axis=-1, norm=None, *, workers=None):
    """The inverse of fft along one axis, numpy.fft.ifft's way.

    out[..., j] = 1/n * sum_{k=0..n-1} a[..., k] * exp(+2*pi*i * j*k / n)

    (norm "forward" leaves out the 1/n, "ortho" takes 1/sqrt(n)).  The 1/n
    is exact for powers of two and otherwise a division by n, correctly
    rounded; other lengths take the conjugate of fft of the conjugate.
    Lengths and accuracy as fft.

    Parameters
    ----------
    a, n, axis, norm, workers
        As fft.

    Returns
    -------
    ndarray of complex128

    Raises
    ------
    ValueError, TypeError
        As fft.
    """
    return _transform(a, n, axis, norm, workers, True, "ifft")


def rfft(a, n=None, axis=-1, norm=None, *, workers=None):
    """The spectrum of a real sequence, numpy.fft.rfft's way.

    out[..., k] = sum_{j=0..n-1} a[..., j] * exp(-2*pi*i * j*k / n) for
    k = 0 .. n/2, n/2 + 1 values (the others are their conjugates); out[0]
    and (n even) out[n/2] are real.  a is taken as float64; n any from 1 to
    2**29 (even n: one complex transform of n/2 values; odd n: about 0.6 to
    0.85 of the work of a complex transform of n values; a prime n: one).

    Parameters
    ----------
    a : array_like
        Real values.
    n : int, optional
        The length along `axis` of the real sequence (cut or padded).
    axis : int, optional
        The axis transformed (the last by default); the others are a batch.
    norm : {None, "backward", "forward", "ortho"}, optional
        The scaling, as numpy.fft's.
    workers : int, optional (keyword)
        Threads over the batch, as fft's; the bits do not depend on it.

    Returns
    -------
    ndarray of complex128
        n/2 + 1 values along `axis`.

    Raises
    ------
    ValueError
        For a length below 1 or above 2**29 (naming it), an axis out of
        range or an unknown norm; checked before anything is converted.
    TypeError
        When `a` does not hold numbers.
    """
    a, axis, n, workers = _one_axis(a, n, axis, norm, workers, "rfft")
    out = _along(_core.rfft_rows, _fit(a, n, axis), axis, workers)
    factor = _scale(norm, n, False, "rfft")
    if factor is not None:
        out *= factor
    return out


def irfft(a, n=None, axis=-1, norm=None, *, workers=None):
    """The real sequence of a spectrum of n/2 + 1 values, numpy.fft.irfft's way.

    out[..., j] = 1/n * sum_{k=0..n-1} X[k] * exp(+2*pi*i * j*k / n), with
    X[k] = a[..., k] for k <= n/2 and X[n-k] = conj(X[k]); the imaginary
    parts of a[..., 0] and a[..., n/2] are not used.  n defaults to
    2 * (m - 1) for m values along `axis`; a is cut or padded to n/2 + 1
    values.  n any from 1 to 2**29, even or odd; the imaginary part of
    a[..., n/2] is not used for even n only.

    Parameters
    ----------
    a : array_like
        The spectrum, taken as complex128.
    n : int, optional
        The length of the result along `axis`.
    axis : int, optional
        The axis transformed (the last by default); the others are a batch.
    norm : {None, "backward", "forward", "ortho"}, optional
        The scaling, as numpy.fft's.
    workers : int, optional (keyword)
        Threads over the batch, as fft's; the bits do not depend on it.

    Returns
    -------
    ndarray of float64
        n values along `axis`.

    Raises
    ------
    ValueError
        For a length below 1 or above 2**29 (naming it), an axis out of
        range or an unknown norm; checked before anything is converted.
    TypeError
        When `a` does not hold numbers.
    """
    a, axis, n, workers = _one_axis(a, n, axis, norm, workers, "irfft", lambda m: 2 * (m - 1))
    out = _along(_core.irfft_rows, _fit(a, n // 2 + 1, axis), axis, n, workers)
    factor = _scale(norm, n, True, "irfft")
    if factor is not None:
        out *= factor
    return out


def _transform_n(a, s, axes, norm, workers, inverse, routine):
    a = _numbers(a, routine)
    if a.ndim == 0:
        raise ValueError(f"{routine}: the array has no axis")
    if axes is None:
        axes = range(a.ndim) if s is None else range(a.ndim - len(s), a.ndim)
    axes = [_axis(axis, a.ndim) for axis in axes]
    if len(set(axes)) != len(axes):
        raise ValueError(f"{routine}: an axis appears twice in {axes}")
    if not axes:
        raise ValueError(f"{routine}: no axis to transform")
    _scale(norm, 1, False, routine)
    workers = _workers(workers, routine)
    if s is not None:
        if len(s) != len(axes):
            raise ValueError(f"{routine}: s and axes must have the same length")
        s = [_length(n, routine) for n in s]
    else:
        s = [_length(a.shape[axis], routine) for axis in axes]
    if int(np.prod(s, dtype=object)) > _LARGEST:
        raise ValueError(f"{routine}: the axes transformed hold more than {_LARGEST} values")
    for axis, n in zip(axes, s):
        a = _fit(a, n, axis)
    k = len(axes)
    last = list(range(a.ndim - k, a.ndim))
    if axes == last:
        out = _core.fft_blocks(a, k, inverse, workers)
    else:
        out = np.moveaxis(_core.fft_blocks(np.moveaxis(a, axes, last), k, inverse, workers),
                          last, axes)
    factor = _scale(norm, int(np.prod([a.shape[axis] for axis in axes])), inverse, routine)
    if factor is not None:
        out *= factor
    return out


def fftn(a, s=None, axes=None, norm=None, *, workers=None):
    """The n-dimensional discrete Fourier transform, numpy.fft.fftn's way.

    out[k] = sum_j a[j] * exp(-2*pi*i * sum_d j_d*k_d / n_d) over the given
    axes (all by default), the last of them transformed first; every length
    any from 1 to 2**29.  Unscaled (norm as fft).  The bits of fft along
    each axis in turn (and of the toolkit's fourn when every length is a
    power of two).

    Parameters
    ----------
    a : array_like
        Taken as complex128.
    s : sequence of int, optional
        The lengths along `axes` (each cut or padded).
    axes : sequence of int, optional
        The axes transformed, each once; the others are a batch.
    norm : {None, "backward", "forward", "ortho"}, optional
        The scaling, as numpy.fft's.
    workers : int, optional (keyword)
        Threads over the batch, as fft's; the bits do not depend on it.

    Returns
    -------
    ndarray of complex128

    Raises
    ------
    ValueError
        For a length below 1 or above 2**29 (naming it), an axis out of
        range or given twice or an unknown norm; checked before anything is
        converted.
    TypeError
        When `a` does not hold numbers.
    """
    return _transform_n(a, s, axes, norm, workers, False, "fftn")


def ifftn(a, s=None, axes=None, norm=None, *, workers=None):
    """The inverse of fftn: exp(+2*pi*i ...) and 1/N, N the number of values
    transformed (exact when N is a power of two, else a correctly rounded
    division).

    Parameters
    ----------
    a, s, axes, norm, workers
        As fftn.

    Returns
    -------
    ndarray of complex128

    Raises
    ------
    ValueError, TypeError
        As fftn.
    """
    return _transform_n(a, s, axes, norm, workers, True, "ifftn")


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
