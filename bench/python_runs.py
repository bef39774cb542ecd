# SPDX-License-Identifier: BSD-3-Clause
"""tamsel.run_many against tamsel.run one directory after another, in one
process: 64 copies of the benchmark job (bench/make_job.py), with 1, 2, 4,
... workers up to the processors.  Each figure is the best of several
rounds; the speed-up is the sequential time over run_many's.
Usage: python3 bench/python_runs.py [COPIES]   (tamsel importable)"""

import os
import shutil
import subprocess
import sys
import tempfile
import time
import warnings

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


if __name__ == "__main__":
    main()
