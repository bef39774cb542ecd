# SPDX-License-Identifier: BSD-3-Clause
"""The Chebyshev series and the table function of the package tamsel."""

from tamsel import _core
from tamsel._arguments import _numbers
from tamsel._docs import _filled


def _like(x, out):
    """out, computed over the array x, as a number when x is one."""
    return out[()] if x.ndim == 0 else out


def chebyshev_nodes(a, b, n):
    """The n points of [a, b] (1 <= n <= 100) at which chebyshev_fit samples
    its function: x_k = cos(pi * (k + 0.5) / n) * (b - a)/2 + (a + b)/2 for
    k = 0 .. n-1, from the end near b to the end near a.

    Parameters
    ----------
    a, b : float
        The interval.
    n : int
        The number of nodes.

    Returns
    -------
    ndarray of float64
        n nodes.

    Raises
    ------
    ValueError
        For n outside 1 .. 100.
    """
    return _core.chebyshev_nodes(a, b, n)


def chebyshev_fit(f, a, b, n):
    """The n Chebyshev coefficients of f on [a, b] (1 <= n <= 100).

    f is called once with the array chebyshev_nodes(a, b, n) and must return
    its n values.  The coefficients c[0 .. n-1] are in numpy's convention:
    the series is sum_k c[k] * T_k(u), u = (2x - a - b) / (b - a), so
    numpy.polynomial.Chebyshev(c, domain=[a, b]) is the same function; it
    passes through f's values at the nodes (up to rounding).

    Parameters
    ----------
    f : callable
        Takes the array of nodes, returns their n values.
    a, b : float
        The interval.
    n : int
        The number of coefficients.

    Returns
    -------
    ndarray of float64
        c[0 .. n-1].

    Raises
    ------
    ValueError
        For n outside 1 .. 100 or f returning another shape.
    TypeError
        When f is not callable or returns no numbers.
    """
    if not callable(f):
        raise TypeError(f"chebyshev_fit: f must be a function of the nodes, not {type(f).__name__}")
    nodes = _core.chebyshev_nodes(a, b, n)
    values = _numbers(f(nodes), "chebyshev_fit", "what f returned")
    if values.shape != (n,):
        raise ValueError(f"chebyshev_fit: f returned shape {values.shape} for {n} nodes")
    return _core.chebyshev_coefficients(a, b, values)


@_filled
def chebyshev_eval(c, a, b, x):
    """The series c (numpy's convention, as chebyshev_fit returns) at x.

    x is any array (or a number) of points of [a, b]; a point outside
    raises ValueError naming it (NaN passes and gives NaN).  Evaluated by
    the backward (Clenshaw) recurrence.

    Parameters
    ----------
    c : array_like of float, 1-D
        The coefficients.
    a, b : float
        The interval of the series.
    x : array_like of float or float
        The points.

    {like_x}

    Raises
    ------
    ValueError
        For a point outside [a, b], naming it.
    TypeError
        When an argument does not hold numbers.
    """
    x = _numbers(x, "chebyshev_eval", "x")
    return _like(x, _core.chebyshev_eval(_numbers(c, "chebyshev_eval", "c"), a, b, x))


def chebyshev_integral(c, a, b):
    """The series (numpy's convention, len(c) >= 2 terms) of the integral of
    the series c from a to x: zero at x = a; the term of degree len(c),
    which would come from the last coefficient, is dropped.

    Parameters
    ----------
    c : array_like of float, 1-D
        The series, at least 2 terms.
    a, b : float
        Its interval.

    Returns
    -------
    ndarray of float64
        As many coefficients as c.

    Raises
    ------
    ValueError
        For fewer than 2 terms.
    """
    return _core.chebyshev_integral(_numbers(c, "chebyshev_integral", "c"), a, b)


@_filled
def interp(x, xp, fp):
    """The table function: linear interpolation in the points (xp, fp).

    Each interval (xp[i-1], xp[i]] is open on the left and closed on the
    right; at x the first ascending interval that holds it gives
    fp[i-1] + (x - xp[i-1]) * ((fp[i] - fp[i-1]) / (xp[i] - xp[i-1])).
    Where none holds it (outside the table, x = xp[0], x NaN) the result
    is 0.0: unlike numpy.interp, nothing is clamped.  xp need not ascend.

    Parameters
    ----------
    x : array_like of float or float
        Where the table is read.
    xp, fp : array_like of float, 1-D
        The table, of one length.

    {like_x}

    Raises
    ------
    ValueError
        When xp and fp differ in length.
    TypeError
        When an argument does not hold numbers.
    """
    x = _numbers(x, "interp", "x")
    return _like(x, _core.interp(x, _numbers(xp, "interp", "xp"), _numbers(fp, "interp", "fp")))
