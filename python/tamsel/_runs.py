# SPDX-License-Identifier: BSD-3-Clause
"""The run of the package tamsel: in a directory, in many at once, and on
arrays."""

import collections
import operator
import os
import signal
import sys
import threading
import warnings as _warnings

import numpy as np

from tamsel import _core
from tamsel._arguments import _numbers

RunError = _core.RunError
RunError.__doc__ = """The run stopped, as the command stops: `status` is the
command's exit status (1 for its own stops, 2 for input and output failures)
and the message is the one the command writes on standard error."""


class RunWarning(UserWarning):
    """A warning of the run, as the command writes it on standard error."""


RunWarning.__module__ = "tamsel"


Sample = collections.namedtuple(
    "Sample", ["name", "fmin", "fmax", "coefficient", "warnings", "records"], module="tamsel")
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


def _noting_interrupts(cancel, interrupted):
    """In the main thread, wraps the SIGINT handler for a wait: when it
    raises (KeyboardInterrupt, from Python's own), the runs are cancelled
    and the signal noted in `interrupted` before the exception goes on, so
    that the wait raises KeyboardInterrupt itself where Python swallowed the
    first (raised inside a __del__ that the collector ran).  Returns the
    handler to put back, or None where none was wrapped."""
    previous = signal.getsignal(signal.SIGINT)
    if threading.current_thread() is not threading.main_thread() or not callable(previous):
        return None

    def handler(signum, frame):
        try:
            previous(signum, frame)
        except BaseException:
            interrupted.append(signum)
            cancel.set()
            raise

    signal.signal(signal.SIGINT, handler)
    return previous


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

    interrupted, previous = [], None
    try:
        previous = _noting_interrupts(cancel, interrupted)
        for k in range(min(workers, len(directories))):
            threading.Thread(target=work, name=f"tamsel run {k + 1}", daemon=True).start()
        for _ in directories:
            while not ended.acquire(timeout=0.25) and not interrupted:
                pass
            if interrupted:
                raise KeyboardInterrupt
            if progress is not None:
                progress()
    except BaseException:
        cancel.set()
        with taking:
            for _ in pending:
                pass
        raise
    finally:
        if previous is not None:
            signal.signal(signal.SIGINT, previous)
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
