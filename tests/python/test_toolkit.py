# SPDX-License-Identifier: BSD-3-Clause
"""The Python module's toolkit against numpy/scipy and the toolkit's bits.
The environment names the programs and files of the build: TAMSEL_EXE,
TAMSEL_DUMP, TAMSEL_EXAMPLES, TAMSEL_DOC (the doc/ folder, whose python.md
holds the examples and recipes the tests run)."""

import inspect
import os
import pydoc
import re
import threading

import numpy as np
import pytest
import scipy.fft

import tamsel
from support import bits

EPS = np.finfo(np.float64).eps
RNG = np.random.default_rng(20261207)


def close(got, want, n, what):
    """Within 20 eps log2(n) of the largest magnitude (measured: up to 12)."""
    scale = np.max(np.abs(want))
    tol = 20 * EPS * max(np.log2(n), 1.0) * scale
    assert np.max(np.abs(np.asarray(got) - want)) <= tol, what


@pytest.mark.parametrize("log2n", list(range(0, 15)) + [20])
def test_transforms_agree_with_numpy_and_scipy(log2n):
    n = 1 << log2n
    rows = 4 if log2n <= 12 else 1
    z = RNG.uniform(-1, 1, (rows, n)) + 1j * RNG.uniform(-1, 1, (rows, n))
    x = z.real.copy()
    for reference in (np.fft, scipy.fft):
        close(tamsel.fft(z), reference.fft(z), n, "fft")
        close(tamsel.ifft(z), reference.ifft(z), n, "ifft")
        close(tamsel.rfft(x), reference.rfft(x), n, "rfft")
        spectrum = reference.rfft(x)
        close(tamsel.irfft(spectrum, n), reference.irfft(spectrum, n), n, "irfft")
        close(tamsel.fft(z.T, axis=0), reference.fft(z.T, axis=0), n, "fft axis 0")
    # The transforms run in results that start on a 64-byte boundary, where
    # the widest kernels are fastest.
    assert all(r.ctypes.data % 64 == 0 for r in (tamsel.fft(z), tamsel.rfft(x)))
    if 2 <= log2n <= 12:
        cube = z.reshape(rows, 4, n // 4)
        close(tamsel.fftn(cube), np.fft.fftn(cube), 4 * n, "fftn")
        close(tamsel.ifftn(cube, axes=(2, 0)), np.fft.ifftn(cube, axes=(2, 0)), 4 * n, "ifftn")
        close(tamsel.fft(z, norm="ortho"), np.fft.fft(z, norm="ortho"), n, "ortho")
        close(tamsel.fft(x[0], n=2 * n), np.fft.fft(x[0], n=2 * n), 2 * n, "padded")


def test_transforms_are_the_same_bits_every_way():
    for log2n in range(0, 13):
        n = 1 << log2n
        z = RNG.standard_normal(n) + 1j * RNG.standard_normal(n)
        # ifft: the conjugate of fft of the conjugate, and an exact 1/n; fft
        # of a batch: each row's bits.
        inverse = np.conj(tamsel.fft(np.conj(z))) / n
        assert bits(tamsel.ifft(z).view(np.float64)) == bits(inverse.view(np.float64)), n
        batch = np.stack([z, z[::-1]], axis=1)
        assert bits(tamsel.fft(batch, axis=0)[:, 0]) == bits(tamsel.fft(z)), n
        if n >= 2:
            # fftn is fft along each axis in turn, last axis first.
            grid = z.reshape(2, n // 2)
            by_axes = tamsel.fft(tamsel.fft(grid, axis=1), axis=0)
            assert bits(tamsel.fftn(grid)) == bits(by_axes), n


def test_series_correlation_and_table_against_numpy():
    a, b = -1.5, 2.0
    c = tamsel.chebyshev_fit(np.cos, a, b, 15)
    series = np.polynomial.Chebyshev(c, domain=[a, b])
    x = np.linspace(a, b, 101)
    np.testing.assert_allclose(tamsel.chebyshev_eval(c, a, b, x), series(x), atol=1e-14)
    np.testing.assert_allclose(tamsel.chebyshev_eval(c, a, b, x), np.cos(x), atol=1e-12)
    integral = tamsel.chebyshev_integral(c, a, b)
    np.testing.assert_allclose(integral[:-1], series.integ(lbnd=a).coef[:-2], atol=1e-14)
    np.testing.assert_allclose(tamsel.chebyshev_eval(integral, a, b, b), np.sin(b) - np.sin(a),
                               atol=1e-12)
    xp = np.sort(RNG.uniform(0, 1, 50))
    fp = RNG.standard_normal(50)
    inside = RNG.uniform(xp[0], xp[-1], 300)
    np.testing.assert_allclose(tamsel.interp(inside, xp, fp), np.interp(inside, xp, fp),
                               atol=1e-14)
    assert tamsel.interp(xp[0], xp, fp) == 0.0 and tamsel.interp(2.0, xp, fp) == 0.0
    for n in (2, 8, 1024, 8192):
        u, v = RNG.standard_normal(n), RNG.standard_normal(n)
        direct = np.array([np.dot(np.roll(u, -m), v) for m in range(n)]) if n <= 1024 else None
        r = tamsel.correlate(u, v)
        if direct is not None:
            np.testing.assert_allclose(r, direct, atol=64 * EPS * np.log2(n) * n)
        assert n < 8 or np.argmax(tamsel.correlate(np.roll(v, 5), v)) == 5


@pytest.mark.parametrize("call, text", [
    (lambda: tamsel.fft(np.ones((2, 0))), "fft: invalid number of data points (0)"),
    (lambda: tamsel.ifft(np.ones(4), n=2**29 + 1), "length 536870913 is not from 1 to"),
    (lambda: tamsel.irfft(np.ones(1)), "irfft: invalid number of data points (0)"),
    (lambda: tamsel.fftn(np.ones((4, 3)), s=(4, 0)), "fftn: invalid number of data points (0)"),
    # Arguments are checked before a broadcast view becomes 12 GiB of complex128.
    (lambda: tamsel.fft(np.broadcast_to(np.ones(3), (2**28, 3)), norm="twice"), "invalid norm"),
    (lambda: tamsel.rfft(np.broadcast_to(np.ones(3), (2**28, 3)), n=0), "data points (0)"),
    (lambda: tamsel.fftn(np.ones((2, 2)), s=(2**15, 2**15)), "hold more than 536870912 values"),
    (lambda: tamsel.next_fast_len(2**29 + 1), "next_fast_len: target = 536870913 is above"),
    (lambda: tamsel.fftfreq(0), "fftfreq: n = 0 is below 1"),
    (lambda: tamsel.correlate(np.ones(16), np.ones(8)), "holds 8 values"),
    (lambda: tamsel.correlate(np.ones(16384), np.ones(16384)), "length 16384"),
    (lambda: tamsel.chebyshev_eval([1.0, 2.0], 0.0, 1.0, [0.5, 1.5]), "x[1] = 1.5"),
    (lambda: tamsel.chebyshev_fit(np.cos, 0.0, 1.0, 101), "n 101"),
    (lambda: tamsel.interp([0.5], [0.0, 1.0], [1.0]), "fp holds 1"),
])
def test_refusals_are_value_errors_naming_the_fault(call, text):
    with pytest.raises(ValueError, match=re.escape(text)):
        call()


def test_misuse_is_told_in_the_modules_own_words():
    # Every array argument of every function, given text or a ragged list:
    # a TypeError or ValueError naming the function and the argument, never
    # an error of the binding layer.
    calls = {
        "fft": lambda v: tamsel.fft(v), "ifft": lambda v: tamsel.ifft(v),
        "rfft": lambda v: tamsel.rfft(v), "irfft": lambda v: tamsel.irfft(v),
        "fftn": lambda v: tamsel.fftn(v), "ifftn": lambda v: tamsel.ifftn(v),
        "correlate": lambda v: tamsel.correlate(np.ones(4), v),
        "chebyshev_fit": lambda v: tamsel.chebyshev_fit(lambda x: v, 0.0, 1.0, 3),
        "chebyshev_eval": lambda v: tamsel.chebyshev_eval(v, 0.0, 1.0, 0.5),
        "chebyshev_integral": lambda v: tamsel.chebyshev_integral(v, 0.0, 1.0),
        "interp": lambda v: tamsel.interp(0.5, v, [1.0, 2.0]),
        "correlate_windows": lambda v: tamsel.correlate_windows([0.5], v, [1.0], [(0.1, 0.9)]),
    }
    calls |= {name: getattr(tamsel, name) for name in ("hfft", "ihfft", "fft2", "ifft2", "rfft2",
                                                       "irfft2", "rfftn", "irfftn")}
    for routine, call in calls.items():
        for bad, error in (("abc", TypeError), ([[1.0, 2.0], [3.0]], ValueError),
                           (np.array(["a", "b"]), TypeError)):
            with pytest.raises(error, match=f"^{routine}: "):
                call(bad)


def test_type_stubs_cover_the_module_and_check_its_use(tmp_path, monkeypatch):
    # The stubs name every public function and class, and a type checker
    # passes the documented use of them and catches misuse.
    import ast
    package = os.path.dirname(tamsel.__file__)
    assert os.path.exists(os.path.join(package, "py.typed"))
    with open(os.path.join(package, "__init__.pyi"), encoding="utf-8") as stubs:
        tree = ast.parse(stubs.read())
    named = {node.name for node in tree.body
             if isinstance(node, (ast.FunctionDef, ast.ClassDef))}
    named |= {node.target.id for node in tree.body if isinstance(node, ast.AnnAssign)}
    assert {name for name in named if not name.startswith("_")} == set(tamsel.__all__)
    mypy = pytest.importorskip("mypy.api")
    good = tmp_path / "good.py"
    good.write_text("import numpy as np\nimport numpy.typing as npt\nimport tamsel\n"
                    "x: npt.NDArray[np.float64] = tamsel.irfft(tamsel.rfft(np.ones(8)), n=8)\n"
                    "y: npt.NDArray[np.float32] = tamsel.irfft2(np.ones((2, 2), np.complex64))\n"
                    "c: float = tamsel.chebyshev_eval([1.0, 2.0], 0.0, 1.0, 0.5)\n"
                    "for s in tamsel.run('.'):\n"
                    "    k: float = s.coefficient\n"
                    "    w: tuple[str, ...] = s.warnings\n")
    bad = tmp_path / "bad.py"
    bad.write_text("import tamsel\n"
                   "tamsel.fft([1.0], norm='sideways')\n"
                   "name: int = tamsel.run('.')[0].coefficient\n")
    # The build tree's package is found through MYPYPATH; an installed one
    # in its site-packages, which MYPYPATH must not name.
    if os.path.basename(os.path.dirname(package)) not in ("site-packages", "dist-packages"):
        monkeypatch.setenv("MYPYPATH", os.path.dirname(package))
    # One run for both (each run reads numpy's stubs anew): the errors are
    # bad.py's two and no other.
    out, _, status = mypy.run(["--strict", "--no-incremental", "--cache-dir", os.devnull,
                               str(good), str(bad)])
    assert status == 1 and [line.split(": error:")[0] for line in out.splitlines()
                            if ": error:" in line] == [f"{bad}:2", f"{bad}:3"], out


def test_help_shows_whole_docstrings():
    # The sections that docstrings share are filled in: help() shows no
    # placeholder, and every Parameters section names each argument of the
    # signature at its place.
    for name in tamsel.__all__:
        function = getattr(tamsel, name)
        text = pydoc.render_doc(function, renderer=pydoc.plaintext)
        assert not re.search(r"^\s*\{\w+\}$", text, re.M), name
        if "Parameters\n" not in text:
            continue
        section = text.split("Parameters\n", 1)[1].split("\n    \n", 1)[0]
        named = {word for line in re.findall(r"^    (\w.*)$", section, re.M)
                 for word in line.split(" : ")[0].split(", ")}
        assert set(inspect.signature(function).parameters) <= named, (name, named)


def test_thread_calls_give_serial_bits():
    data = [RNG.standard_normal(1 << 14) for _ in range(4)]
    serial = [bits(tamsel.fft(d).view(np.float64)) for d in data]
    results = [None] * 4

    def work(i):
        for _ in range(20):
            results[i] = bits(tamsel.fft(data[i]).view(np.float64))

    threads = [threading.Thread(target=work, args=(i,)) for i in range(4)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert results == serial


# The run: the example and fixed cases, against the command's reports and
# tamsel-dump's bits of every coefficient.


def test_rfftn_has_the_bits_of_rfft_then_fftn_of_the_other_axes():
    # And irfftn those of ifftn over all axes but the last, then irfft,
    # whatever the axes' order and the workers; hfft those of irfft of the
    # conjugates.
    rng = np.random.default_rng(7)
    for trial in range(40):
        shape = tuple(int(n) for n in rng.choice([1, 2, 3, 5, 8, 12, 64], rng.integers(1, 4)))
        a = rng.standard_normal(shape)
        axes = [int(d) for d in rng.permutation(a.ndim)[:rng.integers(1, a.ndim + 1)]]
        n = [shape[d] for d in axes]
        want = tamsel.rfft(a, axis=axes[-1])
        if len(axes) > 1:
            want = tamsel.fftn(want, axes=axes[:-1])
        back = tamsel.ifftn(want, axes=axes[:-1]) if len(axes) > 1 else want
        back = tamsel.irfft(back, n[-1], axis=axes[-1])
        workers = trial % 3 + 1
        assert tamsel.rfftn(a, axes=axes, workers=workers).tobytes() == want.tobytes()
        assert tamsel.irfftn(want, s=n, axes=axes, workers=workers).tobytes() == back.tobytes()
        if want.shape[axes[-1]] > 1:
            hermitian = tamsel.hfft(want, axis=axes[-1], workers=workers)
            conjugated = tamsel.irfft(np.conj(want), axis=axes[-1], norm="forward")
            assert hermitian.tobytes() == conjugated.tobytes()
