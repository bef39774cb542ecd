# SPDX-License-Identifier: BSD-3-Clause
"""The helpers around the transforms: fast lengths, the frequencies of a
spectrum's positions, and the shifts that put frequency 0 in the middle."""

import operator

import numpy as np

from tamsel import _core
from tamsel._arguments import _axis, _numbers
from tamsel._docs import _filled


def _count(n, routine, name="n", least=1):
    try:
        n = operator.index(n)
    except TypeError:
        raise TypeError(f"{routine}: {name} must be an integer") from None
    if n < least:
        raise ValueError(f"{routine}: {name} = {n} is below {least}")
    return n


def next_fast_len(target, real=False):
    """The smallest length 2**a * 3**b * 5**c * 7**d >= target: a length the
    mixed-radix passes take whole, without Bluestein's convolution (which
    costs about 6 transforms of twice the length and doubles the error).

    Parameters
    ----------
    target : int
        From 1 to 2**29.
    real : bool, optional
        Accepted for scipy.fft's signature: the same lengths are fast for
        rfft and irfft.

    Returns
    -------
    int

    Raises
    ------
    ValueError
        For a target below 1 or above 2**29.
    TypeError
        When target is not an integer.
    """
    target = _count(target, "next_fast_len", "target")
    if target > 1 << 29:
        raise ValueError(f"next_fast_len: target = {target} is above {1 << 29}")
    del real
    return int(_core.next_fast_len(target))


def _spacing(d, routine):
    try:
        return float(d)
    except (TypeError, ValueError):
        raise TypeError(f"{routine}: d must be a number") from None


@_filled
def fftfreq(n, d=1.0):
    """The frequency of each position of a spectrum of n values, numpy's way:
    k / (n*d) at position k for k < (n+1)//2, (k - n) / (n*d) after it
    (the negative frequencies), d the sample spacing.

    Returns
    -------
    ndarray of float64
        n values: the integers 0 .. (n-1)//2, -(n//2) .. -1 times 1/(n*d).

    {raises_n_d}
    """
    n = _count(n, "fftfreq")
    d = _spacing(d, "fftfreq")
    k = np.arange(n)
    k[(n + 1) // 2:] -= n
    return k * (1.0 / (n * d))


@_filled
def rfftfreq(n, d=1.0):
    """The frequencies of rfft's n//2 + 1 positions, numpy's way: k / (n*d)
    for k = 0 .. n//2 (n the length of the real sequence).

    Returns
    -------
    ndarray of float64

    {raises_n_d}
    """
    n = _count(n, "rfftfreq")
    d = _spacing(d, "rfftfreq")
    return np.arange(n // 2 + 1) * (1.0 / (n * d))


def _shift(x, axes, routine, inverse):
    x = _numbers(x, routine, "x")
    if axes is None:
        axes = tuple(range(x.ndim))
    elif isinstance(axes, (int, np.integer)):
        axes = (axes,)
    axes = tuple(_axis(axis, x.ndim) for axis in axes)
    shifts = [-(x.shape[axis] // 2) if inverse else x.shape[axis] // 2 for axis in axes]
    return np.roll(x, shifts, axes) if axes else x.copy()


def fftshift(x, axes=None):
    """x rolled by half its length (n//2) along each of `axes` (all by
    default), numpy's way: frequency 0 moves to position n//2, the negative
    frequencies before it.

    Returns
    -------
    ndarray, x's type

    Raises
    ------
    ValueError
        For an axis out of range.
    TypeError
        When x does not hold numbers.
    """
    return _shift(x, axes, "fftshift", False)


def ifftshift(x, axes=None):
    """The inverse of fftshift: x rolled back by n//2 along each of `axes`
    (the same as fftshift for even lengths).  Arguments, result and
    exceptions as fftshift.
    """
    return _shift(x, axes, "ifftshift", True)
