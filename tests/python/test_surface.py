# SPDX-License-Identifier: BSD-3-Clause
"""numpy.fft's and scipy.fft's whole surface: every transform over random
shapes, axes, lengths, norms and dtypes against numpy (values) and scipy
(dtypes and shapes); the checks made before anything is allocated; special
values."""

import tracemalloc

import numpy as np
import pytest
import scipy.fft

import tamsel

RNG = np.random.default_rng(20261209)
ONE_AXIS = ["fft", "ifft", "rfft", "irfft", "hfft", "ihfft"]
AXES = ["fftn", "ifftn", "rfftn", "irfftn", "fft2", "ifft2", "rfft2", "irfft2"]
REAL_IN = {"rfft", "ihfft", "rfftn", "rfft2"}
DTYPES = [np.float16, np.float32, np.float64, np.complex64, np.complex128, np.int32, np.bool_]


def arguments(name, ndim):
    """Random but valid arguments of the transform `name` for ndim axes."""
    if name in ONE_AXIS:
        n = None if RNG.integers(2) else int(RNG.integers(1, 14))
        return {"n": n, "axis": int(RNG.integers(-ndim, ndim))}
    k = 2 if name.endswith("2") else int(RNG.integers(1, ndim + 1))
    axes = [int(a) for a in RNG.permutation(ndim)[:k]]
    s = None if RNG.integers(2) else [int(m) for m in RNG.integers(1, 9, k)]
    if name.endswith("2") and RNG.integers(2):
        return {"s": s}  # the last two axes
    return {"s": s, "axes": axes}


@pytest.mark.parametrize("name", ONE_AXIS + AXES)
def test_transforms_are_numpys_with_scipys_dtypes(name):
    ours, numpys, scipys = (getattr(m, name) for m in (tamsel, np.fft, scipy.fft))
    for _ in range(40):
        ndim = int(RNG.integers(2 if name.endswith("2") else 1, 4))
        shape = tuple(int(m) for m in RNG.integers(2, 9, ndim))
        dtype = np.dtype(DTYPES[RNG.integers(len(DTYPES))])
        dtype = np.dtype(np.float64) if name in REAL_IN and dtype.kind == "c" else dtype
        x = RNG.uniform(-4, 4, shape) + (1j * RNG.uniform(-4, 4, shape) if dtype.kind == "c"
                                         else 0)
        x = x.astype(dtype)
        kw = arguments(name, ndim)
        norm = [None, "backward", "ortho", "forward"][RNG.integers(4)]
        got = ours(x, norm=norm, **kw)
        want = numpys(x.astype(np.complex128 if name not in REAL_IN else np.float64),
                      norm=norm, **kw)
        like = scipys(x, norm=norm, **kw)
        assert got.dtype == like.dtype and got.shape == like.shape == want.shape, kw
        single = got.dtype in (np.complex64, np.float32)
        tol = (6e-8 if single else 4e-15) * np.max(np.abs(want))
        assert np.max(np.abs(got - want)) <= tol, (kw, norm, dtype)
        # out=: filled with the same bits by one copy, and returned.
        out = np.full(got.shape, np.nan, got.dtype)
        assert ours(x, norm=norm, out=out, overwrite_x=True, **kw) is out
        assert out.tobytes() == np.ascontiguousarray(got).tobytes()


@pytest.mark.parametrize("name", ONE_AXIS + ["fftn", "ifftn", "rfftn", "irfftn"])
def test_out_has_the_bits_of_a_new_result_whether_written_directly_or_copied(name):
    # Written by the core when C-contiguous, of double precision and with
    # no scaling after; copied into when strided, scaled or the input itself.
    ours = getattr(tamsel, name)
    for shape, axis, norm in [((5,), -1, None), ((3, 16), -1, "backward"), ((3, 16), 0, None),
                              ((2, 3, 7), -1, "forward"), ((2, 3, 7), 1, "ortho")]:
        x = RNG.uniform(-4, 4, shape) + (0 if name in REAL_IN else 1j * RNG.uniform(-4, 4, shape))
        last = list(range(len(shape)))[-2:]
        kw = {"axis": axis} if name in ONE_AXIS else {"axes": last if axis == -1 else [axis]}
        want = ours(x, norm=norm, **kw)
        strided = np.full(want.shape[::-1], np.nan, want.dtype).T
        outs = [np.full_like(want, np.nan), strided]
        if want.shape == x.shape and want.dtype == x.dtype:
            outs.append(x.copy())  # out is the input
        for out in outs:
            x = out if len(outs) == 3 and out is outs[2] else x
            assert ours(x, norm=norm, out=out, **kw) is out
            assert out.tobytes(order="C") == want.tobytes(order="C"), (shape, axis, norm)


def test_arguments_are_checked_before_anything_is_allocated():
    # A 2^28 x 3 view of one row (12 GiB as complex128): every wrong
    # argument refused, naming the routine, before a byte is converted.
    view = np.broadcast_to(np.ones(3), (2**28, 3))
    calls = [
        (lambda: tamsel.rfftn(view, s=(0, 3)), ValueError, "rfftn: invalid number of data points"),
        (lambda: tamsel.hfft(view, n=2**29 + 1), ValueError, "hfft: length 536870913"),
        (lambda: tamsel.irfft2(view, axes=(1, 1)), ValueError, "irfft2: an axis appears twice"),
        (lambda: tamsel.ihfft(view, axis=2), np.AxisError, ""),
        (lambda: tamsel.fft2(view, norm="twice"), ValueError, "fft2: invalid norm"),
        (lambda: tamsel.ifftn(view, workers=0), ValueError, "ifftn: workers must not be 0"),
        (lambda: tamsel.rfft2(view, s=(2**20, 2**10)), ValueError, "rfft2: the axes transformed"),
        (lambda: tamsel.irfftn(view, s=(3,), axes=(0, 1)), ValueError, "irfftn: s and axes"),
        (lambda: tamsel.fft(view, out=np.broadcast_to(np.empty(1, np.complex64), view.shape)),
         TypeError, "fft: out holds complex64; the result is complex128"),
        (lambda: tamsel.rfft(view, out=np.empty((2, 2), complex)), ValueError,
         "rfft: out has shape (2, 2); the result has (268435456, 2)"),
        (lambda: tamsel.fftn(np.broadcast_to(np.ones(3, np.longdouble), (2**28, 3))),
         TypeError, "fftn: float128 input is not taken"),
        (lambda: tamsel.irfft(view, n=3, out=view), ValueError, "irfft: out is read-only"),
    ]
    for call, error, text in calls:
        tracemalloc.start()
        with pytest.raises(error, match="^" + text.replace("(", r"\(").replace(")", r"\)")):
            call()
        assert tracemalloc.get_traced_memory()[1] < 1 << 20
        tracemalloc.stop()


def test_special_values_follow_numpy():
    # Infinities and NaNs: the outputs they reach are numpy's.  A complex
    # value is nonfinite where numpy's is; a real output (irfft, hfft,
    # irfftn) may also be NaN where numpy skips a product with an exact 0.
    # Zeros give zeros (+0.0 from a forward complex transform of +0.0, as the
    # sums of +0.0 and -0.0 products are); subnormals stay subnormal.
    with np.errstate(all="ignore"):
        for _ in range(150):
            shape = tuple(int(m) for m in RNG.integers(2, 9, RNG.integers(2, 4)))
            x = RNG.uniform(-1, 1, shape) + (1j * RNG.uniform(-1, 1, shape) if RNG.integers(2)
                                             else 0)
            flat = x.reshape(-1)
            for k in RNG.integers(0, x.size, 2):
                v = [np.nan, np.inf, -np.inf][RNG.integers(3)]
                flat[k] = complex(flat[k].real, v) if RNG.integers(2) and x.dtype.kind == "c" else v
            for name in ONE_AXIS + AXES:
                if name in REAL_IN and x.dtype.kind == "c":
                    continue
                got, want = getattr(tamsel, name)(x), getattr(np.fft, name)(x)
                finite, numpys = np.isfinite(got), np.isfinite(want)
                assert np.all(finite <= numpys), name
                assert got.dtype.kind == "f" or np.array_equal(finite, numpys), name
                both = finite & numpys
                assert np.max(np.abs(got - want)[both], initial=0) <= 1e-13 * x.size, name
    for shape in [(m,) for m in range(1, 40)] + [(4, 6), (3, 5, 7)]:
        for name in ONE_AXIS + AXES:
            if (name.startswith("irfft") or name == "hfft") and shape[-1] == 1 \
                    or name.endswith("2") and len(shape) < 2:
                continue
            for zero in (np.zeros(shape), -np.zeros(shape)):
                out = getattr(tamsel, name)(zero)
                assert np.all(out == 0)
                if name in ("fft", "fftn", "fft2") and not np.signbit(zero).any():
                    assert not np.signbit(out.real).any() and not np.signbit(out.imag).any()
        tiny = RNG.uniform(-1, 1, shape) * 2.0**-1060
        for name in ("fft", "rfft", "fftn", "ihfft"):
            got, want = getattr(tamsel, name)(tiny), getattr(np.fft, name)(tiny)
            assert np.max(np.abs(got - want)) <= 16 * tiny.size * 2.0**-1074


def test_common_entries_give_the_general_paths_bits():
    # n None or the length the axis takes whole, and axis, norm and workers
    # left out: the core's common entries; workers=1 takes the general path.
    for name in ("fft", "ifft", "rfft", "irfft"):
        ours = getattr(tamsel, name)
        for m in (1, 2, 5, 16, 17):
            x = RNG.uniform(-1, 1, (3, m))
            x = x if name in REAL_IN else x + 1j * RNG.uniform(-1, 1, (3, m))
            for n in ([2 * m - 2, 2 * m - 1, None] if name == "irfft" else [m, None]):
                if name == "irfft" and (n or 2 * m - 2) < 1:
                    continue
                assert ours(x, n).tobytes() == ours(x, n, workers=1).tobytes(), (name, m, n)
