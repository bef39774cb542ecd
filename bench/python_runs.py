# SPDX-License-Identifier: BSD-3-Clause
"""tamsel.run_many against tamsel.run one directory after another, in one
process: 64 copies of the benchmark job (bench/make_job.py), with 1, 2, 4,
... workers up to the processors.  Each figure is the best of several
rounds; the speed-up is the sequential time over run_many's.  Then
tamsel.correlate_windows over 100 windows on tables of 10^4 records
against the same windows on 128 records: the time per window, and its
ratio (target: at most 2).
Usage: python3 bench/python_runs.py [COPIES]   (tamsel importable)"""

import os
import shutil
import subprocess
import sys
import tempfile
import time
import warnings

import numpy as np

import tamsel


def best(call, rounds=5):
    times = []
    for _ in range(rounds):
        start = time.perf_counter()
        call()
        times.append(time.perf_counter() - start)
    return min(times)


def main():
    copies = int(sys.argv[1]) if len(sys.argv) > 1 else 64
    here = os.path.dirname(os.path.abspath(__file__))
    with tempfile.TemporaryDirectory() as top, warnings.catch_warnings():
        warnings.simplefilter("ignore", tamsel.RunWarning)
        job = os.path.join(top, "job")
        os.mkdir(job)
        subprocess.run([sys.executable, os.path.join(here, "make_job.py"), job], check=True)
        dirs = []
        for i in range(copies):
            d = os.path.join(top, f"copy{i}")
            shutil.copytree(job, d)
            dirs.append(d)
        sequential = best(lambda: [tamsel.run(d) for d in dirs])
        cores = os.cpu_count() or 1
        print(f"tamsel.run_many over {copies} directories of 100 samples, {cores} processors")
        print(f"{'workers':>8} {'ms':>9} {'speed-up':>9}")
        print(f"{'(run)':>8} {sequential * 1e3:9.1f} {1.0:9.2f}")
        workers = 1
        while workers <= cores:
            many = best(lambda: tamsel.run_many(dirs, workers=workers))
            print(f"{workers:>8} {many * 1e3:9.1f} {sequential / many:9.2f}")
            workers *= 2
    windows_per_record_count()


def windows_per_record_count():
    """correlate_windows per window on 128 and on 10^4 records: the same
    curves and the same windows (as shares of the abscissae's range,
    0.02 to 0.5 of it wide), the abscissae in [0, 1] and in hertz."""
    random = np.random.default_rng(20261208)
    lo = random.uniform(0.01, 0.49, 100)
    shares = np.stack([lo, lo + random.uniform(0.02, 0.5, 100)], axis=1)
    print("tamsel.correlate_windows, 100 windows 0.02 to 0.5 of the range wide")
    print("(last row: windows as many records wide as those on 128 records)")
    print(f"{'records':>8} {'inside':>7} {'us/window':>10} {'ratio':>6}")
    base = None
    narrow = np.stack([lo, lo + (shares[:, 1] - lo) * 128 / 10_000], axis=1)
    for n, low, high, where in ((128, 0.0, 1.0, shares), (10_000, 100.0, 20_000.0, shares),
                                (10_000, 100.0, 20_000.0, narrow)):
        u = (np.arange(n) + 0.5) / n
        x = low + (high - low) * u
        spec, log = np.sin(9.1 * u) + 0.3 * np.cos(31 * u), np.sin(8.3 * u + 0.4)
        windows = low + (high - low) * where
        per_window = best(lambda: tamsel.correlate_windows(x, spec, log, windows)) / 100
        inside = np.mean([s.records for s in tamsel.correlate_windows(x, spec, log, windows)])
        base = base or per_window
        print(f"{n:>8} {inside:7.0f} {per_window * 1e6:10.1f} {per_window / base:6.2f}")


if __name__ == "__main__":
    main()
