# SPDX-License-Identifier: BSD-3-Clause
"""python -m tamsel DIR... [--results FILE] [--workers N]

Runs tamsel in every DIR at once (each run as the command runs there,
report files included) and writes one results table for all of them, with
a first column `directory`, to FILE or to standard output.  The runs'
warnings go to standard error, naming their files inside each DIR; a
progress bar too, when standard error is a terminal and tqdm is installed.
Where a run stops, its message goes to standard error, no table is written,
and the exit status is that run's (the first in the order given)."""

import argparse
import os
import sys
import tempfile
import warnings

import tamsel


def _bar(total):
    """A progress bar's update function, or None off a terminal or without
    tqdm."""
    if not sys.stderr.isatty():
        return None, None
    try:
        from tqdm import tqdm
    except ImportError:
        return None, None
    bar = tqdm(total=total, unit="run", file=sys.stderr)
    return bar, lambda: bar.update(1)


def _write(path, text):
    """text as the whole of `path`, replacing it only once written in full."""
    directory = os.path.dirname(os.path.abspath(path))
    fd, temporary = tempfile.mkstemp(prefix=".tamsel-", dir=directory)
    try:
        with os.fdopen(fd, "w", encoding="utf-8", newline="\n") as out:
            out.write(text)
        os.chmod(temporary, 0o666 & ~_umask())
        os.replace(temporary, path)
    except BaseException:
        os.unlink(temporary)
        raise


def _umask():
    mask = os.umask(0)
    os.umask(mask)
    return mask


def main(argv=None):
    parser = argparse.ArgumentParser(
        prog="python -m tamsel",
        description="Runs tamsel in every DIR at once and writes one results table.")
    parser.add_argument("directories", nargs="+", metavar="DIR", type=os.fsencode)
    parser.add_argument("--results", metavar="FILE", default="-",
                        help="the table's file (default: standard output)")
    parser.add_argument("--workers", metavar="N", type=int, default=None,
                        help="runs at once (default: the processors)")
    args = parser.parse_args(argv)
    if args.workers is not None and args.workers < 1:
        parser.error(f"--workers must be at least 1, not {args.workers}")
    bar, progress = _bar(len(args.directories))
    try:
        with warnings.catch_warnings(record=True) as caught:
            warnings.simplefilter("always", tamsel.RunWarning)
            try:
                runs = tamsel.run_many(args.directories, args.workers, progress)
                error = None
            except tamsel.RunError as stopped:
                error = stopped
    except OSError as failure:
        parser.exit(2, f"python -m tamsel: {failure}\n")
    finally:
        if bar is not None:
            bar.close()
    for warning in caught:
        print(warning.message, file=sys.stderr)
    if error is not None:
        print(f"{os.fsdecode(error.directory)}: {error}", file=sys.stderr)
        return error.status
    table = tamsel.results_table(runs, [os.fsdecode(d) for d in args.directories])
    if args.results == "-":
        sys.stdout.write(table)
    else:
        _write(args.results, table)
    return 0


if __name__ == "__main__":
    sys.exit(main())
