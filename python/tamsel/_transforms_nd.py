# SPDX-License-Identifier: BSD-3-Clause
"""The transforms over several axes: fftn, ifftn, rfftn, irfftn and their
two-axis forms, numpy.fft's and scipy.fft's signatures over the toolkit's
transforms along one axis."""

import numpy as np

from tamsel import _core
from tamsel._arguments import (_axes, _check_out, _finish, _fit, _into, _result_type,
                               _scale)
from tamsel._docs import _filled


def _last(a, axes):
    return axes == list(range(a.ndim - len(axes), a.ndim))


def _blocks(a, axes, inverse, workers, out):
    """fftn (ifftn) of a over axes, as complex128: the toolkit's transform
    over the last axes of a C-contiguous array, the axes moved there (into
    out, given only for the last axes)."""
    k = len(axes)
    last = list(range(a.ndim - k, a.ndim))
    if axes == last:
        return _core.fft_blocks(a, k, inverse, workers, out)
    return np.moveaxis(_core.fft_blocks(np.moveaxis(a, axes, last), k, inverse, workers),
                       last, axes)


def _real_blocks(core, a, axes, out, *args):
    """rfftn (irfftn) of a over axes: the toolkit's transform over the last
    axes of a C-contiguous array, the axes moved there (into out, given
    only for the last axes)."""
    k = len(axes)
    last = list(range(a.ndim - k, a.ndim))
    if axes == last:
        return core(a, k, *args, out)
    return np.moveaxis(core(np.moveaxis(a, axes, last), k, *args), last, axes)


def _shape(a, s, axes, last=None):
    """a's shape with s along axes (and `last` along the last of them)."""
    shape = list(a.shape)
    for axis, n in zip(axes, s):
        shape[axis] = n
    if last is not None:
        shape[axes[-1]] = last
    return shape


def _transform_n(a, s, axes, norm, out, workers, inverse, routine):
    a, s, axes, workers = _axes(a, s, axes, norm, workers, routine)
    dtype = _result_type(a, False)
    _check_out(out, _shape(a, s, axes), dtype, routine)
    for axis, n in zip(axes, s):
        a = _fit(a, n, axis)
    factor = _scale(norm, int(np.prod(s)), inverse, routine)
    result = _blocks(a, axes, inverse, workers, _into(out, factor, _last(a, axes)))
    return _finish(result, factor, dtype, out)


def _rfftn(a, s, axes, norm, out, workers, routine):
    a, s, axes, workers = _axes(a, s, axes, norm, workers, routine)
    dtype = _result_type(a, False)
    _check_out(out, _shape(a, s, axes, s[-1] // 2 + 1), dtype, routine)
    for axis, n in zip(axes, s):
        a = _fit(a, n, axis)
    factor = _scale(norm, int(np.prod(s)), False, routine)
    result = _real_blocks(_core.rfftn_blocks, a, axes, _into(out, factor, _last(a, axes)),
                          workers)
    return _finish(result, factor, dtype, out)


def _irfftn(a, s, axes, norm, out, workers, routine):
    a, s, axes, workers = _axes(a, s, axes, norm, workers, routine, real_inverse=True)
    dtype = _result_type(a, True)
    _check_out(out, _shape(a, s, axes), dtype, routine)
    for axis, n in zip(axes, s[:-1] + [s[-1] // 2 + 1]):
        a = _fit(a, n, axis)
    factor = _scale(norm, int(np.prod(s)), True, routine)
    result = _real_blocks(_core.irfftn_blocks, a, axes, _into(out, factor, _last(a, axes)),
                          s[-1], workers)
    return _finish(result, factor, dtype, out)


@_filled
def fftn(a, s=None, axes=None, norm=None, *, out=None, overwrite_x=False, workers=None):
    """The n-dimensional discrete Fourier transform, numpy.fft.fftn's way.

    out[k] = sum_j a[j] * exp(-2*pi*i * sum_d j_d*k_d / n_d) over the given
    axes (all by default), the last of them transformed first; every length
    any from 1 to 2**29, and at most 2**29 values transformed together.
    Unscaled (norm "forward" divides by N = prod(n_d), "ortho" by sqrt(N)).
    The bits of fft along each axis in turn (and of the toolkit's fourn
    when every length is a power of two).

    Parameters
    ----------
    {a_numbers}
    s : sequence of int, optional
        The lengths along `axes` (each cut or padded); without `axes`, the
        axes are the last len(s).
    axes : sequence of int, optional
        The axes transformed, each once; the others are a batch.
    {norm}
    out, overwrite_x, workers : optional (keyword)
        As fft's: `out` filled (directly when over the last axes),
        `overwrite_x` accepted (`a` is never changed); `workers` splits
        the transforms of the batch (one for every index of the other
        axes) between threads or, where they do not split evenly (a single
        transform), the lines along each axis of each transform; at most
        one thread per 2**18 values, with the bits of one thread.

    Returns
    -------
    ndarray of complex128, or complex64 for float16, float32 or complex64 `a`
        Shaped as `a`, with s along `axes`; single precision is computed
        in double and rounded once at the end.

    Raises
    ------
    ValueError
        For a length below 1 or above 2**29 (naming it), more than 2**29
        values transformed together, an axis out of range or given twice,
        no axis, s and axes of different lengths, an unknown norm or an
        `out` of another shape; checked before anything is converted or
        allocated.
    {type_error}
    """
    return _transform_n(a, s, axes, norm, out, workers, False, "fftn")


def ifftn(a, s=None, axes=None, norm=None, *, out=None, overwrite_x=False, workers=None):
    """The inverse of fftn: exp(+2*pi*i ...) and 1/N, N the number of values
    transformed (exact when N is a power of two, else a correctly rounded
    division).  Arguments, result and exceptions as fftn.
    """
    return _transform_n(a, s, axes, norm, out, workers, True, "ifftn")


def fft2(a, s=None, axes=(-2, -1), norm=None, *, out=None, overwrite_x=False, workers=None):
    """fftn over two axes, the last two by default, numpy.fft.fft2's way:

    out[k1, k2] = sum_{j1, j2} a[j1, j2] * exp(-2*pi*i * (j1*k1/n1 + j2*k2/n2))

    Arguments, result and exceptions as fftn.
    """
    return _transform_n(a, s, axes, norm, out, workers, False, "fft2")


def ifft2(a, s=None, axes=(-2, -1), norm=None, *, out=None, overwrite_x=False, workers=None):
    """ifftn over two axes, the last two by default: exp(+2*pi*i ...) and
    1/(n1*n2), numpy.fft.ifft2's way.  Arguments, result and exceptions as
    fftn.
    """
    return _transform_n(a, s, axes, norm, out, workers, True, "ifft2")


@_filled
def rfftn(a, s=None, axes=None, norm=None, *, out=None, overwrite_x=False, workers=None):
    """The n-dimensional transform of real values, numpy.fft.rfftn's way:
    rfft along the last of `axes`, then fft along the others.

    out[k] = sum_j a[j] * exp(-2*pi*i * sum_d j_d*k_d / n_d), with
    k_last = 0 .. n_last/2 only (n_last/2 + 1 values; the others are the
    conjugates of out[-k]).  Scaling as fftn (N = prod(s)).

    Parameters
    ----------
    a : array_like
        Real values.
    s, axes, norm, out, overwrite_x, workers
        As fftn; s gives the real input's lengths.

    Returns
    -------
    ndarray of complex128, or complex64 for float16, float32 or complex64 `a`
        Shaped as `a`, with s along `axes` but s[-1]//2 + 1 along the last
        of them.

    {raises_as_fftn}
    """
    return _rfftn(a, s, axes, norm, out, workers, "rfftn")


@_filled
def irfftn(a, s=None, axes=None, norm=None, *, out=None, overwrite_x=False, workers=None):
    """The inverse of rfftn, numpy.fft.irfftn's way: ifft along all of
    `axes` but the last, then irfft along the last.

    out[j] = 1/N * sum_k X[k] * exp(+2*pi*i * sum_d j_d*k_d / n_d), with X
    Hermitian (X[-k] = conj(X[k])) given by its values k_last = 0 ..
    n_last/2; N = prod(s) (norm as fftn).  s[-1] defaults to 2 * (m - 1)
    for m values along the last of `axes`, which is cut or padded to
    s[-1]//2 + 1 values; the others to s.

    Parameters
    ----------
    a : array_like
        The spectrum.
    s, axes, norm, out, overwrite_x, workers
        As fftn; s gives the real result's lengths.

    Returns
    -------
    ndarray of float64, or float32 for float16, float32 or complex64 `a`
        Shaped as `a`, with s along `axes`.

    {raises_as_fftn}
    """
    return _irfftn(a, s, axes, norm, out, workers, "irfftn")


def rfft2(a, s=None, axes=(-2, -1), norm=None, *, out=None, overwrite_x=False, workers=None):
    """rfftn over two axes, the last two by default, numpy.fft.rfft2's way.
    Arguments, result and exceptions as rfftn.
    """
    return _rfftn(a, s, axes, norm, out, workers, "rfft2")


def irfft2(a, s=None, axes=(-2, -1), norm=None, *, out=None, overwrite_x=False, workers=None):
    """irfftn over two axes, the last two by default, numpy.fft.irfft2's way.
    Arguments, result and exceptions as irfftn.
    """
    return _irfftn(a, s, axes, norm, out, workers, "irfft2")
