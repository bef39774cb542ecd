# SPDX-License-Identifier: BSD-3-Clause
"""The checks the transforms share, and what they do to every result.

Every argument is checked against the shape of the array as given (a view
stays a view) before anything is converted, padded or allocated, so that a
wrong length, axis, norm, workers count or output array costs nothing."""

import operator
import os

import numpy as np

_LARGEST = 1 << 29

# Inputs whose transforms are single precision (scipy.fft's rule): computed
# in double and rounded once at the end.
_SINGLE = (np.dtype(np.float16), np.dtype(np.float32), np.dtype(np.complex64))
_SINGLE_RESULTS = (np.dtype(np.float32), np.dtype(np.complex64))


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


def _swapped(norm):
    """The norm of the transform in the other direction: hfft is irfft with
    the scaling of a forward transform, ihfft rfft with an inverse's."""
    return {None: "forward", "backward": "forward", "forward": "backward"}.get(norm, norm)


def _along(core, a, axis, *args):
    """core applied along the last axis of a, after moving axis there."""
    if axis == a.ndim - 1:
        return core(a, *args)
    return np.moveaxis(core(np.moveaxis(a, axis, -1), *args), -1, axis)


def _transformable(a, routine):
    """a as an array of numbers that a transform takes: long double is
    refused rather than silently rounded, as tamsel computes in double."""
    a = _numbers(a, routine)
    if a.dtype.kind in "fc" and a.dtype.itemsize > (8 if a.dtype.kind == "f" else 16):
        raise TypeError(f"{routine}: {a.dtype} input is not taken: tamsel computes in double "
                        "precision; convert it first, e.g. a.astype(np.complex128)")
    if a.ndim == 0:
        raise ValueError(f"{routine}: the array has no axis")
    return a


def _result_type(a, real):
    """The dtype of a transform of a: float32 or complex64 (`real` for a
    real result) for half and single precision input, else float64 or
    complex128."""
    if a.dtype in _SINGLE:
        return np.dtype(np.float32 if real else np.complex64)
    return np.dtype(np.float64 if real else np.complex128)


def _check_out(out, shape, dtype, routine):
    """out, when given, must be a writable array of the result's shape and
    dtype; checked before anything is computed."""
    if out is None:
        return
    if not isinstance(out, np.ndarray):
        raise TypeError(f"{routine}: out must be a numpy array, not {type(out).__name__}")
    if out.dtype != dtype:
        raise TypeError(f"{routine}: out holds {out.dtype}; the result is {dtype}")
    if out.shape != tuple(shape):
        raise ValueError(f"{routine}: out has shape {out.shape}; the result has {tuple(shape)}")
    if not out.flags.writeable:
        raise ValueError(f"{routine}: out is read-only")


def _into(out, factor, last):
    """out (checked) when the core can write the result into it as it is
    computed: the transform over the last axes (`last`), no scaling after
    it, out C-contiguous and aligned and of double precision (single
    precision is rounded from double in one more pass); else None."""
    if (out is not None and factor is None and last and out.flags.c_contiguous
            and out.flags.aligned and out.dtype not in _SINGLE_RESULTS):
        return out
    return None


def _finish(result, factor, dtype, out):
    """result (a new double array, or out when the core wrote it there)
    scaled by factor, then rounded once to dtype: into out when given (one
    copy), else as a new array."""
    if result is out:
        return out
    if factor is not None:
        result *= factor
    if out is not None:
        np.copyto(out, result, casting="same_kind")
        return out
    return result if result.dtype == dtype else result.astype(dtype)


def _one_axis(a, n, axis, norm, workers, routine, default=None):
    """a as an array, its axis, the length along it (n, or `default` of the
    axis's length, or the axis's length) and the number of threads, every
    argument checked before anything is converted or allocated."""
    a = _transformable(a, routine)
    axis = _axis(axis, a.ndim)
    _scale(norm, 1, False, routine)
    workers = _workers(workers, routine)
    if n is None:
        n = a.shape[axis] if default is None else default(a.shape[axis])
    return a, axis, _length(n, routine), workers


def _axes(a, s, axes, norm, workers, routine, real_inverse=False):
    """a as an array, the lengths s and the axes (numpy.fft's defaults: every
    axis, or the last len(s); for an inverse real transform s[-1] defaults
    to 2 * (m - 1)) and the number of threads, every argument checked before
    anything is converted or allocated."""
    a = _transformable(a, routine)
    try:
        s = None if s is None else [operator.index(n) for n in s]
        axes = None if axes is None else [operator.index(axis) for axis in axes]
    except TypeError:
        raise TypeError(f"{routine}: s and axes must be sequences of integers") from None
    if s is not None and len(s) > a.ndim:
        raise ValueError(f"{routine}: s holds {len(s)} lengths; the array has {a.ndim} axes")
    if axes is None:
        axes = range(a.ndim) if s is None else range(a.ndim - len(s), a.ndim)
    axes = [_axis(axis, a.ndim) for axis in axes]
    if len(set(axes)) != len(axes):
        raise ValueError(f"{routine}: an axis appears twice in {axes}")
    if not axes:
        raise ValueError(f"{routine}: no axis to transform")
    _scale(norm, 1, False, routine)
    workers = _workers(workers, routine)
    if s is None:
        s = [a.shape[axis] for axis in axes]
        if real_inverse:
            s[-1] = 2 * (s[-1] - 1)
    elif len(s) != len(axes):
        raise ValueError(f"{routine}: s and axes must have the same length")
    s = [_length(n, routine) for n in s]
    if int(np.prod(s, dtype=object)) > _LARGEST:
        raise ValueError(f"{routine}: the axes transformed hold more than {_LARGEST} values")
    return a, s, axes, workers
