# SPDX-License-Identifier: BSD-3-Clause
"""The Python module's run against the tamsel command, in one directory and
in many, from arrays, from threads, and the documentation's recipes (the
environment as for test_toolkit.py)."""

import os
import re
import shutil
import signal
import subprocess
import sys
import threading
import time
import warnings

import numpy as np
import pytest

import tamsel
from support import bits, python_doc


CASES = {
    "reversed": ("wide\n 0.1 0.9\nrev\n 0.5 0.5\nnarrow\n 0.3 0.32\n",
                 "".join(f"{i / 40} {np.sin(7 * i / 40)}\n" for i in range(1, 40)),
                 "".join(f"{i / 40} {np.cos(5 * i / 40)}\n" for i in range(1, 40))),
    "empty tables": ("only\n 0.2 0.6\n", "", ""),
}


def case_dirs(tmp_path):
    example = tmp_path / "example"
    shutil.copytree(os.environ["TAMSEL_EXAMPLES"] + "/smooth", example)
    dirs = [example]
    for i, (samples, spec_table, log_table) in enumerate(CASES.values()):
        d = tmp_path / f"case{i}"
        d.mkdir()
        (d / "samples.lst").write_text(samples)
        (d / "corrspec.in").write_text(spec_table)
        (d / "corrlog.in").write_text(log_table)
        dirs.append(d)
    return dirs


def dumped_coefficients(directory):
    out = subprocess.run([os.environ["TAMSEL_DUMP"]], cwd=directory, check=True,
                         capture_output=True, text=True).stdout
    return [int(line.split()[6], 16) for line in out.splitlines()]


def test_run_gives_the_commands_reports_and_bits(tmp_path):
    for directory in case_dirs(tmp_path):
        command = tmp_path / "command"
        shutil.copytree(directory, command)
        done = subprocess.run([os.environ["TAMSEL_EXE"]], cwd=command, capture_output=True,
                              text=True)
        assert done.returncode == 0
        with warnings.catch_warnings(record=True) as caught:
            warnings.simplefilter("always")
            samples = tamsel.run(directory)
        assert [str(w.message) + "\n" for w in caught] == [
            "tamsel: " + os.path.join(str(directory), line[len("tamsel: "):])
            for line in done.stderr.splitlines(keepends=True)]
        assert bits([s.coefficient for s in samples]) == dumped_coefficients(directory)
        for f in sorted(os.listdir(command)):
            assert (directory / f).read_bytes() == (command / f).read_bytes(), f
        rev = [s for s in samples if s.name == "rev"]
        assert not rev or "window-not-ascending" in rev[0].warnings
        # The same computation from arrays.
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")  # an empty table is one of the cases
            table = np.loadtxt(directory / "corrspec.in", ndmin=2).reshape(-1, 2)
            log = np.loadtxt(directory / "corrlog.in", ndmin=2).reshape(-1, 2)
        windows = [(s.fmin, s.fmax) for s in samples]
        arrays = tamsel.correlate_windows(table[:, 0], table[:, 1], log[:, 1], windows,
                                          names=[s.name for s in samples])
        assert [(s.name, bits(s.coefficient), s.warnings, s.records) for s in arrays] == \
            [(s.name, bits(s.coefficient), s.warnings, s.records) for s in samples]
        shutil.rmtree(command)


def test_table_findings_reach_every_interface(tmp_path):
    # Every run's warnings reach the user under Python's default filters,
    # each naming its directory; a table's findings are in every sample's
    # warnings, from files and from arrays alike.
    xs = np.arange(1, 200) / 200
    for d in ("a", "b"):
        (tmp_path / d).mkdir()
        (tmp_path / d / "samples.lst").write_text("w\n0.2 0.4\n")
        for name, f in (("corrspec.in", np.sin), ("corrlog.in", np.cos)):
            (tmp_path / d / name).write_text("".join(f"{x!r} {f(7 * x)!r}\n" for x in xs))
    with warnings.catch_warnings(record=True) as caught:
        warnings.resetwarnings()
        for d in ("a", "b", "a"):
            [sample] = tamsel.run(tmp_path / d)
            assert sample.warnings == ("records-not-read",)
    assert [str(w.message).split(":")[1] for w in caught] == [
        f" {tmp_path / d / f}" for d in ("a", "b", "a") for f in ("corrspec.in", "corrlog.in")]
    subprocess.run([os.environ["TAMSEL_EXE"], "--results", "r.tsv"], cwd=tmp_path / "a",
                   check=True, capture_output=True)
    assert (tmp_path / "a" / "r.tsv").read_text().splitlines()[1].split("\t")[-1] == \
        "records-not-read"
    sorted_x = xs[:100]
    windows = [(0.2, 0.4)]
    want = tamsel.correlate_windows(sorted_x, np.sin(sorted_x), np.cos(sorted_x), windows)[0]
    assert want.warnings == ()
    for x, key in ((sorted_x[::-1], "abscissa-not-rising"),
                   (np.where(sorted_x == sorted_x[50], np.nan, sorted_x), "abscissa-not-finite")):
        got = tamsel.correlate_windows(x, np.sin(sorted_x), np.cos(sorted_x), windows)[0]
        assert key in got.warnings, (key, got)


def test_many_directories_at_once(tmp_path):
    # run_many gives each directory's run alone, in the order given, and
    # python -m tamsel writes the rows of the command's own tables, each
    # after its directory; a run that stops leaves no table and gives its
    # status.
    dirs = case_dirs(tmp_path)
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", tamsel.RunWarning)
        alone = [tamsel.run(d) for d in dirs]
        many = tamsel.run_many(dirs, workers=2)
    assert [[(s.name, bits(s.coefficient), s.warnings) for s in r] for r in many] == \
        [[(s.name, bits(s.coefficient), s.warnings) for s in r] for r in alone]
    rows = []
    for d in dirs:
        subprocess.run([os.environ["TAMSEL_EXE"], "--results", "r.tsv", "--no-reports"], cwd=d,
                       check=True, capture_output=True)
        rows += [f"{d}\t{row}" for row in (d / "r.tsv").read_text().splitlines()[1:]]
    command = [sys.executable, "-m", "tamsel", *map(str, dirs), "--results", "all.tsv",
               "--workers", "3"]
    done = subprocess.run(command, cwd=tmp_path, capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    table = (tmp_path / "all.tsv").read_text().splitlines()
    assert table[0] == "directory\tname\tfmin\tfmax\tcoefficient\trecords\twarnings"
    assert table[1:] == rows
    (dirs[1] / "corrlog.in").unlink()
    done = subprocess.run(command[:-4] + ["--results", "none.tsv"], cwd=tmp_path,
                          capture_output=True, text=True)
    assert done.returncode == 2 and "corrlog.in: cannot open" in done.stderr
    assert not (tmp_path / "none.tsv").exists()


def test_doc_dask_recipe_runs(tmp_path):
    pytest.importorskip("dask.distributed")
    with open(python_doc(), encoding="utf-8") as doc:
        recipe = re.search(r"<!-- dask recipe: begin -->\n```python\n(.*?)```", doc.read(), re.S)
    assert recipe, f"no dask recipe between the markers of {python_doc()}"
    dirs = case_dirs(tmp_path)
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        names = {"directories": [str(d) for d in dirs]}
        exec(recipe.group(1), names)
        alone = [tamsel.run(d) for d in dirs]
    assert [[bits(s.coefficient) for s in r] for r in names["runs"]] == \
        [[bits(s.coefficient) for s in r] for r in alone]


def test_runs_from_several_threads_agree(tmp_path):
    dirs = case_dirs(tmp_path)
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", tamsel.RunWarning)
        serial = [tamsel.run(d) for d in dirs]
        results = [None] * len(dirs)

        def work(i):
            for _ in range(5):
                results[i] = tamsel.run(dirs[i])

        threads = [threading.Thread(target=work, args=(i,)) for i in range(len(dirs))]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
    assert repr(results) == repr(serial) and os.getcwd() != str(dirs[-1])


def test_a_run_held_on_input_holds_no_other_run_nor_the_callers_directory(tmp_path, monkeypatch):
    # One run waits on corrspec.in, a FIFO whose writer is the test, while
    # a run in another directory completes in another thread; the caller's
    # working directory and what its relative names open stay its own.
    example = os.environ["TAMSEL_EXAMPLES"] + "/smooth"
    held, other, alone, here = (tmp_path / d for d in ("held", "other", "alone", "here"))
    for d in (held, other, alone):
        shutil.copytree(example, d)
    here.mkdir()
    (here / "samples.lst").write_text("the caller's own\n")
    monkeypatch.chdir(here)
    table = (held / "corrspec.in").read_bytes()
    (held / "corrspec.in").unlink()
    os.mkfifo(held / "corrspec.in")
    writer = os.open(held / "corrspec.in", os.O_RDWR)  # a writer before the run opens it
    got = {}

    def work(key, directory):
        got[key] = tamsel.run(directory)

    def opened_fifo():
        count = 0
        for fd in os.listdir("/proc/self/fd"):
            try:
                count += os.readlink(f"/proc/self/fd/{fd}") == str(held / "corrspec.in")
            except OSError:
                pass
        return count > 1  # the run's descriptor besides the writer

    with warnings.catch_warnings():
        warnings.simplefilter("ignore", tamsel.RunWarning)
        waiting = threading.Thread(target=work, args=("held", held))  # a pathlib.Path
        done = threading.Thread(target=work, args=("other", os.fsencode(other)))
        try:
            waiting.start()
            deadline = time.monotonic() + 60
            while not opened_fifo() and time.monotonic() < deadline:
                time.sleep(0.01)
            assert opened_fifo() and waiting.is_alive()
            done.start()
            done.join(timeout=60)
            assert not done.is_alive() and waiting.is_alive()
            assert os.getcwd() == str(here)
            with open("samples.lst") as own:
                assert own.read() == "the caller's own\n"
            os.write(writer, table)
        finally:
            os.close(writer)
            waiting.join(timeout=60)
        want = tamsel.run(str(alone))
    assert not waiting.is_alive()
    assert repr(got["held"]) == repr(got["other"]) == repr(want)
    for d in (held, other):
        for f in sorted(os.listdir(alone)):
            if f != "corrspec.in":
                assert (d / f).read_bytes() == (alone / f).read_bytes(), (d, f)
    assert sorted(os.listdir(here)) == ["samples.lst"] and os.getcwd() == str(here)
    for path in (str(alone) + "\0junk", os.fsencode(alone) + b"\0"):
        with pytest.raises(ValueError):
            tamsel.run(path)


@pytest.mark.parametrize("swallowed", [False, True])
def test_ctrl_c_reaches_a_run_waiting_on_input(tmp_path, swallowed):
    # Ctrl-C reaches the caller within a second while the run waits on its
    # sample list, a FIFO; the cancelled run, once it reads, writes nothing.
    # Also where Python swallows the handler's KeyboardInterrupt (raised in
    # a __del__ that the collector runs): here the handler is called from
    # a timer thread, which drops the exception.
    shutil.copytree(os.environ["TAMSEL_EXAMPLES"] + "/smooth", tmp_path / "d")
    for report in (tmp_path / "d").glob("*_cross.txt"):
        report.unlink()
    fifo = tmp_path / "d" / "samples.lst"
    listing = fifo.read_bytes()
    fifo.unlink()
    os.mkfifo(fifo)
    before = sorted(os.listdir(tmp_path / "d"))
    writer = os.open(fifo, os.O_RDWR)  # a writer that writes nothing yet

    def interrupt():
        if not swallowed:
            return os.kill(os.getpid(), signal.SIGINT)
        try:
            signal.getsignal(signal.SIGINT)(signal.SIGINT, None)
        except KeyboardInterrupt:
            pass

    timer = threading.Timer(0.2, interrupt)
    rescue = threading.Timer(10, os.close, (writer,))  # a miss fails, and does not hang
    start = time.monotonic()
    timer.start()
    rescue.start()
    with pytest.raises(KeyboardInterrupt):
        tamsel.run(tmp_path / "d")
    rescue.cancel()
    assert time.monotonic() - start < 1.2
    [waiting] = [t for t in threading.enumerate() if t.name.startswith("tamsel run")]
    os.write(writer, listing)
    os.close(writer)
    waiting.join(timeout=60)
    assert not waiting.is_alive() and sorted(os.listdir(tmp_path / "d")) == before


def test_run_stops_as_the_command_stops(tmp_path):
    (tmp_path / "samples.lst").write_text(" blank\n 0.1 0.2\n")
    for stop_case, status in ((tmp_path, 1), (tmp_path / "absent", 2)):
        if stop_case.name == "absent":
            stop_case.mkdir()
        done = subprocess.run([os.environ["TAMSEL_EXE"]], cwd=stop_case, capture_output=True,
                              text=True)
        with pytest.raises(tamsel.RunError) as stopped:
            tamsel.run(stop_case)
        assert (stopped.value.status, str(stopped.value) + "\n") == (status, done.stderr)
        assert done.returncode == status
    with pytest.raises(FileNotFoundError):
        tamsel.run(tmp_path / "nowhere")


def test_flushing_environment_is_warned_of(tmp_path):
    cc = shutil.which("cc") or shutil.which("gcc")
    if cc is None:
        pytest.skip("no C compiler to build a -ffast-math library")
    lib = tmp_path / "libfast.so"
    (tmp_path / "fast.c").write_text("double fast(double x) { return x * 2.0; }\n")
    subprocess.run([cc, "-shared", "-fPIC", "-ffast-math", "-o", lib, tmp_path / "fast.c"],
                   check=True)
    script = (f"import ctypes, warnings; ctypes.CDLL({str(lib)!r}); "
              "warnings.simplefilter('error'); import tamsel")
    done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True)
    assert done.returncode != 0 and "flushes subnormal numbers" in done.stderr
    clean = subprocess.run([sys.executable, "-W", "error", "-c", "import tamsel"])
    assert clean.returncode == 0


def test_doc_example_runs(tmp_path):
    with open(python_doc(), encoding="utf-8") as doc:
        text = doc.read()
    example = re.search(r"<!-- python example: begin -->\n```python\n(.*?)```", text, re.S)
    assert example, f"no Python example between the markers of {python_doc()}"
    shutil.copytree(os.environ["TAMSEL_EXAMPLES"], tmp_path / "examples")
    done = subprocess.run([sys.executable, "-c", example.group(1)], cwd=tmp_path,
                          capture_output=True, text=True)
    assert done.returncode == 0, done.stderr
    assert done.stdout.splitlines()[:3] == ["True", "True", "5"]


LOCALE_CHILD = """
import locale, sys, warnings, tamsel
locale.setlocale(locale.LC_ALL, sys.argv[1])
with warnings.catch_warnings(record=True) as caught:
    warnings.simplefilter("always")
    samples = tamsel.run(sys.argv[2])
try:
    tamsel.chebyshev_eval([1.0, 2.0], 0.0, 1.0, [0.5, 1.5])
except ValueError as refusal:
    print(refusal)
print([str(w.message) for w in caught], samples, locale.localeconv()["decimal_point"])
"""


def test_numbers_read_and_written_alike_under_a_decimal_comma(tmp_path):
    """A process whose locale writes a decimal comma (one made for the test
    through LOCPATH) reads a table of 23-digit values and writes warnings,
    results and reports as the C locale does."""
    locales = tmp_path / "locales"
    locales.mkdir()
    if shutil.which("localedef") is not None:
        # Latin-1: made in a fifth of UTF-8's time, with the same comma.
        subprocess.run(["localedef", "-i", "de_DE", "-f", "ISO-8859-1",
                        locales / "de_DE.ISO-8859-1"], capture_output=True)
    if not (locales / "de_DE.ISO-8859-1").is_dir():
        pytest.skip("localedef cannot make de_DE.ISO-8859-1 (Debian: apt-get install locales)")
    outputs = {}
    for name, point in (("C", "."), ("de_DE.ISO-8859-1", ",")):
        d = tmp_path / name
        d.mkdir()
        (d / "samples.lst").write_text("below\n0.0 0.45\nabove\n0.3 1.5\n")
        (d / "corrspec.in").write_text(
            "".join(f"{i / 40} {np.sin(7 * i / 40) / 3:.22f}\n" for i in range(1, 40)))
        (d / "corrlog.in").write_text(
            "".join(f"{i / 40} {np.cos(5 * i / 40)}\n" for i in range(1, 40)))
        done = subprocess.run([sys.executable, "-c", LOCALE_CHILD, name, d], capture_output=True,
                              text=True, env=dict(os.environ, LOCPATH=str(locales)))
        assert done.returncode == 0, done.stderr
        assert done.stdout.endswith(f" {point}\n")
        outputs[name] = (done.stdout[:-2].replace(str(d), "DIR"),
                         (d / "above_cross.txt").read_bytes())
    assert "span 0.025 to 0.975" in outputs["C"][0] and "x[1] = 1.5 " in outputs["C"][0]
    assert outputs["de_DE.ISO-8859-1"] == outputs["C"]


def test_results_table_recipes_give_the_programs_names_and_bits(tmp_path, monkeypatch):
    """The recipes of doc/python.md and of the manual read a results table
    back to the run's own names and doubles, bit for bit."""
    pytest.importorskip("pandas")
    doc = open(python_doc(), encoding="utf-8").read()
    recipe = re.search(r"<!-- results recipe: begin -->\n```python\n(.*?)```", doc, re.S)
    assert recipe, f"no results recipe between the markers of {python_doc()}"
    page = open(os.path.join(os.environ["TAMSEL_DOC"], "tamsel.1"), encoding="utf-8").read()
    manual = re.search(r"\npython3 <<\\\(aqEOF\\\(aq\n(.*?)\nEOF\n", page, re.S)
    assert manual, "no Python here-document in the manual"
    manual = manual.group(1).replace("\\e", "\\").replace("\\(aq", "'").replace("\\-", "-")
    # Names a reader could trip on, and random windows: reversed, empty,
    # reaching past the records.
    names = [b"a\xffb", b'"quoted', b"tab\there", b"nan", b"back\\slash", b"x\\xFF", b"#c",
             b"caf\xc3\xa9\xc3", b"1e5", b"\xe2\x80\xae\xc2\x85"]
    rng = np.random.default_rng(20261208)
    lines = []
    for k in range(100):
        fmin, fmax = rng.uniform(-0.1, 1.1, 2) if k != 7 else (0.5, 0.5)
        name = names[k] if k < len(names) else f"w{k}".encode()
        lines.append(name + f"\n{fmin!r} {fmax!r}\n".encode())
    shutil.copytree(os.environ["TAMSEL_EXAMPLES"] + "/smooth", tmp_path / "run")
    (tmp_path / "run" / "samples.lst").write_bytes(b"".join(lines))
    subprocess.run([os.environ["TAMSEL_EXE"], "--results", "results.tsv"], cwd=tmp_path / "run",
                   check=True, capture_output=True)
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", tamsel.RunWarning)
        samples = tamsel.run(tmp_path / "run")
    assert any(s.warnings for s in samples) and any(np.isnan(s.coefficient) for s in samples)

    def same(got, want):
        got = np.asarray(got, dtype=np.float64)
        return [bits(g) if not np.isnan(g) else "nan" for g in got] == \
            [bits(w) if not np.isnan(w) else "nan" for w in want]

    monkeypatch.chdir(tmp_path / "run")
    for source, code in (("python.md", recipe.group(1)), ("manual", manual)):
        loaded = {}
        exec(code, loaded)
        tables = [loaded["df"]] + ([loaded["table"]] if "table" in loaded else [])
        for table in tables:
            assert list(table["name"]) == [s.name for s in samples], source
            for column in ("fmin", "fmax", "coefficient"):
                assert same(table[column], [getattr(s, column) for s in samples]), (source, column)
            assert list(table["records"]) == [s.records for s in samples], source
            assert list(table["warnings"]) == [";".join(s.warnings) for s in samples], source
