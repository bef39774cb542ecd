# SPDX-License-Identifier: BSD-3-Clause
"""The sections that several docstrings share, written once.

A docstring line that holds nothing but {name} stands for the section
`name` below, indented as that line is.  @_filled puts the sections in
when the module that defines the function is imported, so that __doc__,
help() and the documentation tools show the whole text; an unknown name
fails the import."""

import re
import textwrap


def _raises_as(routine):
    return f"""\
Raises
------
ValueError, TypeError
    As {routine}."""


_SECTIONS = {
    "a_numbers": """\
a : array_like
    Numbers, computed in double precision (long double refused).""",
    "a_real": """\
a : array_like
    Real values.
n : int, optional
    The length along `axis` of the real sequence (cut or padded).""",
    "axis": """\
axis : int, optional
    The axis transformed (the last by default); the others are a batch.""",
    "norm": """\
norm : {None, "backward", "forward", "ortho"}, optional
    The scaling, as numpy.fft's.""",
    "keywords_as_fft": """\
out, overwrite_x : optional (keyword)
    As fft's.
workers : int, optional (keyword)
    Threads over the batch, as fft's; the bits do not depend on it.""",
    "type_error": """\
TypeError
    When `a` does not hold numbers or holds long doubles, or `out` is
    of another dtype.""",
    "raises_as_fftn": _raises_as("fftn"),
    "returns_half_spectrum": """\
Returns
-------
ndarray of complex128, or complex64 for float16, float32 or complex64 `a`
    n/2 + 1 values along `axis`.

""" + _raises_as("fft"),
    "returns_real_sequence": """\
Returns
-------
ndarray of float64, or float32 for float16, float32 or complex64 `a`
    n values along `axis`.

""" + _raises_as("fft"),
    "raises_n_d": """\
Raises
------
ValueError
    For n below 1.
TypeError
    When n is not an integer or d not a number.""",
    "like_x": """\
Returns
-------
ndarray of float64 or float
    Shaped like x.""",
}

_MARK = re.compile(r"^( *)\{(\w+)\}$", re.MULTILINE)


def _filled(function):
    """function with the sections of its docstring put in (none under
    python -OO, which drops docstrings)."""
    if function.__doc__ is not None:
        function.__doc__ = _MARK.sub(lambda m: textwrap.indent(_SECTIONS[m[2]], m[1]),
                                     function.__doc__)
    return function
