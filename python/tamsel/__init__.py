# SPDX-License-Identifier: BSD-3-Clause
"""tamsel: FFTs, FFT correlation, Chebyshev series and table interpolation
with results fixed to the last bit, and the tamsel correlation run.

The transforms follow numpy.fft's conventions:

    fft(x)[k]  = sum_j x[j] * exp(-2*pi*i * j*k / n)
    ifft(X)[j] = 1/n * sum_k X[k] * exp(+2*pi*i * j*k / n)

natural order (index 0 first), float64 and complex128, over any axis with
batches over the others.  Lengths are powers of two (1 included); any other
length raises ValueError naming it.  Every result is the bits of the C++
toolkit: a transform here is the toolkit's radix-2 transform, and its
conjugations, unpacking and power-of-two scalings are exact.

Accuracy, for values uniform in [-1, 1], as the largest difference from
numpy.fft relative to the largest output: fft 1.4e-15 at 16 values,
6.5e-15 at 1024, 2.5e-14 at 2**20 (about 6 eps log2 n at most); irfft up to
5.3e-14 at 2**20.

Every function releases the GIL while it computes and may be called from
several threads at once.  The results assume a floating-point environment
that keeps subnormal numbers; if something loaded into the process (a
library built with -ffast-math) flushes them to zero, importing tamsel
warns that results will differ.
"""

import collections
import operator
import os
import sys
import threading
import warnings as _warnings

import numpy as np

from tamsel import _core

__all__ = [
    "fft", "ifft", "rfft", "irfft", "fftn", "ifftn", "correlate",
    "chebyshev_nodes", "chebyshev_fit", "chebyshev_eval", "chebyshev_integral",
    "interp", "run", "run_many", "results_table", "correlate_windows", "Sample", "RunError",
    "RunWarning",
]

__version__ = _core.__version__

RunError = _core.RunError
RunError.__doc__ = """The run stopped, as the command stops: `status` is the
command's exit status (1 for its own stops, 2 for input and output failures)
and the message is the one the command writes on standard error."""


class RunWarning(UserWarning):
    """A warning of the run, as the command writes it on standard error."""


Sample = collections.namedtuple(
    "Sample", ["name", "fmin", "fmax", "coefficient", "warnings", "records"])
Sample.__doc__ = """One sample of a run.

name         the sample's name (str; bytes that are not UTF-8 are kept as
             surrogate escapes, so os.fsencode(name) gives them back)
fmin, fmax   the window
coefficient  the normalised zero-lag cross-correlation of the two curves,
             as a float with every bit (the report prints 4 decimals); NaN
             where it is undefined
warnings     tuple of short keys of what keeps the coefficient from
             measuring how the curves agree, in this order:
             "bounds-line-skipped" (the bounds' line in samples.lst held
             more numbers, such as decimal commas, which were not read),
             "window-not-ascending" (fmin is not below fmax),
             "window-below-records", "window-above-records" (the window
             reaches beyond the table's records), "few-records" (fewer than
             3 records inside the window), "spec-no-variation",
             "log-no-variation" (a curve holds nothing above rounding; the
             coefficient is NaN), "spec-not-finite", "log-not-finite" (a
             curve holds values that are not finite; NaN),
             "spec-fit-misses-records", "log-fit-misses-records" (a fit
             lies farther than a quarter of the spread of the window's
             records from one of them), then the findings about the tables,
             which every sample reads: "records-not-read" (past the 128th),
             "record-counts-differ", "table-line-skipped",
             "abscissa-not-finite", "abscissa-outside-range" (outside
             [0, 1]), "abscissa-not-rising", "log-abscissa-differs"
records      the number of table records inside the window, as the fits
             place them"""

if _core.flushes_subnormals():
    _warnings.warn(
        "tamsel: the floating-point environment flushes subnormal numbers to "
        "zero (something in this process was built with -ffast-math or "
        "-Ofast); tamsel's results will differ from its documented bits",
        RuntimeWarning, stacklevel=2)


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


def _fit(a, n, axis, routine):
    """a with its axis cut or padded with zeros to n values."""
    try:
        n = operator.index(n)
    except TypeError:
        raise TypeError(f"{routine}: n must be an integer") from None
    if n < 1:
        raise ValueError(f"{routine}: invalid number of data points ({n}) specified")
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
    a = np.asarray(a)
    if a.ndim == 0:
        return core(a, *args)  # refused there
    axis = _axis(axis, a.ndim)
    if axis == a.ndim - 1:
        return core(a, *args)
    return np.moveaxis(core(np.moveaxis(a, axis, -1), *args), -1, axis)


def _transform(a, n, axis, norm, inverse, routine):
    a = _numbers(a, routine)
    if n is None and norm is None and (axis == -1 or (axis == a.ndim - 1 and axis >= 0)):
        return _core.fft_rows(a, inverse)  # the common case, straight through
    if a.ndim == 0:
        raise ValueError(f"{routine}: the array has no axis")
    if n is not None:
        a = _fit(a, n, _axis(axis, a.ndim), routine)
    out = _along(_core.fft_rows, a, axis, inverse)
    factor = _scale(norm, out.shape[axis], inverse, routine)
    if factor is not None:
        out *= factor
    return out


def fft(a, n=None, axis=-1, norm=None):
    """The discrete Fourier transform along one axis, numpy.fft.fft's way.

    out[..., k] = sum_{j=0..n-1} a[..., j] * exp(-2*pi*i * j*k / n)

    unscaled (norm None or "backward"; "forward" divides by n, "ortho" by
    sqrt(n)).  Index k of the spectrum at position k (frequency k/n; the
    upper half holds the negative frequencies, as numpy.fft.fftfreq says).
    n, the length along `axis` (after cutting or padding `a` to n when n is
    given), must be a power of two, else ValueError.

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

    Returns
    -------
    ndarray of complex128
        Shaped as `a`, with n along `axis`.

    Raises
    ------
    ValueError
        For a length that is not a power of two (naming it), an axis out of
        range or an unknown norm.
    TypeError
        When `a` does not hold numbers.
    """
    return _transform(a, n, axis, norm, False, "fft")


def ifft(a, n=None, axis=-1, norm=None):
    """The inverse of fft along one axis, numpy.fft.ifft's way.

    out[..., j] = 1/n * sum_{k=0..n-1} a[..., k] * exp(+2*pi*i * j*k / n)

    (norm "forward" leaves out the 1/n, "ortho" takes 1/sqrt(n)).  The 1/n
    is a power of two and exact.  Lengths as fft.

    Parameters
    ----------
    a, n, axis, norm
        As fft.

    Returns
    -------
    ndarray of complex128

    Raises
    ------
    ValueError
        For a length that is not a power of two (naming it), an axis out of
        range or an unknown norm.
    TypeError
        When `a` does not hold numbers.
    """
    return _transform(a, n, axis, norm, True, "ifft")


def rfft(a, n=None, axis=-1, norm=None):
    """The spectrum of a real sequence, numpy.fft.rfft's way.

    out[..., k] = sum_{j=0..n-1} a[..., j] * exp(-2*pi*i * j*k / n) for
    k = 0 .. n/2, n/2 + 1 values (the others are their conjugates); out[0]
    and out[n/2] are real.  a is taken as float64; n a power of two.

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

    Returns
    -------
    ndarray of complex128
        n/2 + 1 values along `axis`.

    Raises
    ------
    ValueError
        For a length that is not a power of two (naming it), an axis out of
        range or an unknown norm.
    TypeError
        When `a` does not hold numbers.
    """
    a = _numbers(a, "rfft")
    if a.ndim == 0:
        raise ValueError("rfft: the array has no axis")
    axis = _axis(axis, a.ndim)
    if n is not None:
        a = _fit(a, n, axis, "rfft")
    out = _along(_core.rfft_rows, a, axis)
    factor = _scale(norm, a.shape[axis], False, "rfft")
    if factor is not None:
        out *= factor
    return out


def irfft(a, n=None, axis=-1, norm=None):
    """The real sequence of a spectrum of n/2 + 1 values, numpy.fft.irfft's way.

    out[..., j] = 1/n * sum_{k=0..n-1} X[k] * exp(+2*pi*i * j*k / n), with
    X[k] = a[..., k] for k <= n/2 and X[n-k] = conj(X[k]); the imaginary
    parts of a[..., 0] and a[..., n/2] are not used.  n defaults to
    2 * (m - 1) for m values along `axis`; a is cut or padded to n/2 + 1
    values.  n must be a power of two.

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

    Returns
    -------
    ndarray of float64
        n values along `axis`.

    Raises
    ------
    ValueError
        For a length that is not a power of two (naming it), an axis out of
        range or an unknown norm.
    TypeError
        When `a` does not hold numbers.
    """
    a = _numbers(a, "irfft")
    if a.ndim == 0:
        raise ValueError("irfft: the array has no axis")
    axis = _axis(axis, a.ndim)
    if n is None:
        n = 2 * (a.shape[axis] - 1)
    n = operator.index(n)
    if n < 1:
        raise ValueError(f"irfft: invalid number of data points ({n}) specified")
    a = _fit(a, n // 2 + 1, axis, "irfft")
    out = _along(_core.irfft_rows, a, axis, n)
    factor = _scale(norm, n, True, "irfft")
    if factor is not None:
        out *= factor
    return out


def _transform_n(a, s, axes, norm, inverse, routine):
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
    if s is not None:
        if len(s) != len(axes):
            raise ValueError(f"{routine}: s and axes must have the same length")
        for axis, n in zip(axes, s):
            a = _fit(a, n, axis, routine)
    k = len(axes)
    last = list(range(a.ndim - k, a.ndim))
    if axes == last:
        out = _core.fft_blocks(a, k, inverse)
    else:
        out = np.moveaxis(_core.fft_blocks(np.moveaxis(a, axes, last), k, inverse), last, axes)
    factor = _scale(norm, int(np.prod([a.shape[axis] for axis in axes])), inverse, routine)
    if factor is not None:
        out *= factor
    return out


def fftn(a, s=None, axes=None, norm=None):
    """The n-dimensional discrete Fourier transform, numpy.fft.fftn's way.

    out[k] = sum_j a[j] * exp(-2*pi*i * sum_d j_d*k_d / n_d) over the given
    axes (all by default), the last of them transformed first; every length
    a power of two.  Unscaled (norm as fft).  The bits of fft along each
    axis in turn, and of the toolkit's fourn.

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

    Returns
    -------
    ndarray of complex128

    Raises
    ------
    ValueError
        For a length that is not a power of two (naming it), an axis out of
        range or given twice or an unknown norm.
    TypeError
        When `a` does not hold numbers.
    """
    return _transform_n(a, s, axes, norm, False, "fftn")


def ifftn(a, s=None, axes=None, norm=None):
    """The inverse of fftn: exp(+2*pi*i ...) and 1/N, N the number of values
    transformed (exact: a power of two).

    Parameters
    ----------
    a, s, axes, norm
        As fftn.

    Returns
    -------
    ndarray of complex128

    Raises
    ------
    ValueError
        For a length that is not a power of two (naming it), an axis out of
        range or an unknown norm.
    TypeError
        When `a` does not hold numbers.
    """
    return _transform_n(a, s, axes, norm, True, "ifftn")


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

    Returns
    -------
    ndarray of float64 or float
        Shaped like x.

    Raises
    ------
    ValueError
        For a point outside [a, b], naming it.
    TypeError
        When an argument does not hold numbers.
    """
    x = _numbers(x, "chebyshev_eval", "x")
    out = _core.chebyshev_eval(_numbers(c, "chebyshev_eval", "c"), a, b, x)
    return out[()] if x.ndim == 0 else out


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

    Returns
    -------
    ndarray of float64 or float
        Shaped like x.

    Raises
    ------
    ValueError
        When xp and fp differ in length.
    TypeError
        When an argument does not hold numbers.
    """
    x = _numbers(x, "interp", "x")
    out = _core.interp(x, _numbers(xp, "interp", "xp"), _numbers(fp, "interp", "fp"))
    return out[()] if x.ndim == 0 else out


def _issue(message, category):
    """Issues a warning at the caller of the caller, every time: Python's
    default filter shows a text once per place in the code, which would hide
    a second run's warnings."""
    frame = sys._getframe(2)
    _warnings.warn_explicit(message, category, frame.f_code.co_filename, frame.f_lineno,
                            module=frame.f_globals.get("__name__", "<unknown>"),
                            registry={})


def run(directory="."):
    """The tamsel command's whole job in `directory`, exactly as the command.

    Reads samples.lst, corrspec.in and corrlog.in there and writes the
    report files as the command does; prints nothing.  The run opens its
    files relative to the directory and leaves the process's working
    directory alone; it releases the GIL, and runs from several threads go
    on at once, each with its own state and the same bits as a run alone.

    Ctrl-C (KeyboardInterrupt) reaches the caller within a second, even
    while the run waits on an input that is a pipe; the run is cancelled
    and writes nothing after its read returns.

    Parameters
    ----------
    directory : str, bytes or os.PathLike
        The directory that holds the three input files.

    Returns
    -------
    list of Sample
        One per sample, in list order.

    Warns
    -----
    RunWarning
        The command's warnings, each naming its file inside `directory`
        ("tamsel: data/corrspec.in:129: warning: ..."), every time: a
        repeat from another run is shown again.

    Raises
    ------
    RunError
        Where the command stops, with its message and exit status.
    OSError
        When `directory` cannot be opened.
    ValueError
        When its path holds a NUL byte.
    """
    samples, lines, error = _runs([directory], 1, None)[0]
    for line in lines:
        _issue(line, RunWarning)
    if error is not None:
        raise error
    return samples


def _run(directory, cancel):
    """The run in `directory`, issuing nothing: its Samples, its warnings
    (naming their files inside the directory) and its RunError or None."""
    records, messages, status, stop = _core.run(os.fsencode(directory), cancel)
    place = os.fsdecode(directory)
    lines = [("tamsel: " + os.path.join(place, line[len("tamsel: "):]))
             if line.startswith("tamsel: ") else line for line in messages.splitlines()]
    error = None
    if status:
        error = RunError(stop)
        error.status = status
        error.directory = directory
    return [Sample(*record) for record in records], lines, error


def _runs(directories, workers, progress):
    """_run over `directories` on `workers` threads of their own, the
    outcomes in the order given.  The calling thread waits in steps of a
    quarter second, so that Ctrl-C reaches it at once even while a run waits
    on its input (a pipe); then every run is cancelled: none starts, and
    those under way write nothing more once their read returns.  The threads
    are daemons, so that a run still blocked keeps nothing from exiting."""
    outcomes = [None] * len(directories)
    if (len(directories) == 1 and progress is None
            and threading.current_thread() is not threading.main_thread()):
        # Signals reach the main thread alone: here nothing is to be gained.
        outcomes[0] = _run(directories[0], None)
        return outcomes
    cancel = _core.Cancel()
    pending = iter(range(len(directories)))
    taking = threading.Lock()
    ended = threading.Semaphore(0)

    def work():
        while True:
            with taking:
                i = next(pending, None)
            if i is None:
                return
            try:
                outcomes[i] = _run(directories[i], cancel)
            except BaseException as error:  # handed to the caller
                outcomes[i] = error
            ended.release()

    for k in range(min(workers, len(directories))):
        threading.Thread(target=work, name=f"tamsel run {k + 1}", daemon=True).start()
    try:
        for _ in directories:
            while not ended.acquire(timeout=0.25):
                pass
            if progress is not None:
                progress()
    except BaseException:
        cancel.set()
        with taking:
            for _ in pending:
                pass
        raise
    for outcome in outcomes:
        if isinstance(outcome, BaseException):
            raise outcome
    return outcomes


def run_many(directories, workers=None, progress=None):
    """run over many directories at once, on threads.

    Every run goes to its end; then the warnings are issued, directory by
    directory in the order given, and where runs stopped, the RunError of
    the first of them is raised.  Ctrl-C stops them as it stops run.

    Parameters
    ----------
    directories : iterable of str, bytes or os.PathLike
    workers : int, optional
        Runs at once; the processors by default.
    progress : callable, optional
        Called in the calling thread, with no argument, as each run ends,
        in whatever order they end (for a progress bar).

    Returns
    -------
    list of list of Sample
        One list per directory, in the order given, each the bits of a run
        alone.

    Raises
    ------
    RunError
        Of the first directory, in the order given, whose run stopped; its
        `directory` attribute names it.
    OSError, ValueError
        As run raises them.
    """
    directories = list(directories)
    if workers is None:
        workers = os.cpu_count() or 1
    workers = operator.index(workers)
    if workers < 1:
        raise ValueError(f"run_many: workers must be at least 1, not {workers}")

    outcomes = _runs(directories, workers, progress)
    for _, lines, _ in outcomes:
        for line in lines:
            _issue(line, RunWarning)
    for _, _, error in outcomes:
        if error is not None:
            raise error
    return [samples for samples, _, _ in outcomes]


def results_table(runs, directories=None):
    """The command's results table of the given runs, as text.

    Parameters
    ----------
    runs : iterable of lists of Sample
        As run, run_many or correlate_windows return them.
    directories : iterable of str, bytes or os.PathLike, optional
        One per run: a first column `directory` names each row's.

    Returns
    -------
    str
        The header and one row per sample, numbers and names written as the
        command writes them, so that the same recipes read it back.
    """
    head = ["name", "fmin", "fmax", "coefficient", "records", "warnings"]
    if directories is not None:
        directories = list(directories)
        head.insert(0, "directory")
    rows = ["\t".join(head)]
    for i, samples in enumerate(runs):
        first = [] if directories is None else [_core.table_name(os.fsencode(directories[i]))]
        for s in samples:
            rows.append("\t".join(first + [
                _core.table_name(os.fsencode(s.name or "")),
                *map(_core.table_number, (s.fmin, s.fmax, s.coefficient)),
                str(s.records), ";".join(s.warnings)]))
    return "\n".join(rows) + "\n"


def correlate_windows(x, spec, log, windows, names=None):
    """The run's measurement on tables given as arrays, with no file.

    Tables the command could read (at most 128 records, no finite abscissa
    outside [0, 1]) are completed as the run completes its own: a point
    (0, 0) before the records and the closing point at abscissa 1.0 holding
    the last record's values, so that every window gives the command's
    coefficient bit for bit.  Other tables, of any length and abscissae in
    any ascending range (hertz, say), are the records alone; a window must
    then lie inside them, or its fits read zeros beyond them and it is
    warned of ("window-below-records", "window-above-records").  A window
    inside the records gives the same bits either way, and the coefficient
    does not depend on the units of the abscissae beyond rounding (about
    1e-15 when x is rescaled).  The time a window takes grows with the
    records inside it; on ascending abscissae, with the logarithm of the
    others.

    Parameters
    ----------
    x, spec, log : array_like of float, 1-D, all of one length
        The records: abscissa, spec value and log value, as corrspec.in and
        corrlog.in give them.
    windows : array_like of float, shape (m, 2)
        (fmin, fmax) pairs.
    names : sequence, optional
        One per window, the Samples' names; None by default.

    Returns
    -------
    list of Sample
        One per window.  Abscissae that are not finite or do not rise give
        every Sample's warnings "abscissa-not-finite" or
        "abscissa-not-rising", as the run's tables do.

    Raises
    ------
    ValueError
        When x, spec and log differ in length, windows are not pairs or
        names not one per window.
    TypeError
        When an argument does not hold numbers.
    RunError
        Where the run stops (a reversed window whose last curve point leaves
        the fit).

    Examples
    --------
    >>> import numpy as np, pandas as pd, tamsel
    >>> hz = np.linspace(100.0, 5000.0, 1000)
    >>> spec = np.sin(hz / 300.0)
    >>> samples = tamsel.correlate_windows(hz, spec, 2.0 * spec,
    ...                                    [(600.0, 3000.0), (4000.0, 4900.0)])
    >>> pd.DataFrame(samples)[["fmin", "fmax", "coefficient", "records"]]
         fmin    fmax  coefficient  records
    0   600.0  3000.0          1.0      490
    1  4000.0  4900.0          1.0      183
    """
    windows = _numbers(windows, "correlate_windows", "windows").astype(np.float64)
    if windows.ndim != 2 or windows.shape[1] != 2:
        raise ValueError("correlate_windows: windows must be (fmin, fmax) pairs")
    if names is not None:
        names = list(names)
        if len(names) != len(windows):
            raise ValueError("correlate_windows: one name per window")
    measured = _core.correlate_windows(
        *(_numbers(v, "correlate_windows", name)
          for v, name in ((x, "x"), (spec, "spec"), (log, "log"))),
        np.ascontiguousarray(windows[:, 0]), np.ascontiguousarray(windows[:, 1]))
    return [Sample(None if names is None else names[w], float(windows[w, 0]),
                   float(windows[w, 1]), coefficient, keys, records)
            for w, (coefficient, keys, records) in enumerate(measured)]
