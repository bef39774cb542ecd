# SPDX-License-Identifier: BSD-3-Clause
# The types of tamsel's functions, for type checkers; the docstrings are in
# __init__.py.
import os
from typing import Any, Callable, Iterable, Literal, NamedTuple, Optional, Sequence, Union, overload

import numpy as np
import numpy.typing as npt

__version__: str

_Norm = Optional[Literal["backward", "ortho", "forward"]]
_Path = Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]"]
_Scalar = Union[float, int, np.floating, np.integer]

class RunError(RuntimeError):
    status: int

class RunWarning(UserWarning): ...

class Sample(NamedTuple):
    name: Optional[str]
    fmin: float
    fmax: float
    coefficient: float
    warnings: tuple[str, ...]
    records: int

# Single precision in, single precision out (computed in double); anything
# else gives double precision.  The first overload of each is the narrower.
_Single = Union[np.float16, np.float32, np.complex64]
_SingleReal = Union[np.float16, np.float32]

@overload
def fft(a: npt.NDArray[_Single], n: Optional[int] = None, axis: int = -1,  # type: ignore
    norm: _Norm = None, *, out: Optional[npt.NDArray[np.complex64]] = None,
    overwrite_x: bool = False, workers: Optional[int] = None) -> npt.NDArray[np.complex64]: ...
@overload
def fft(a: npt.ArrayLike, n: Optional[int] = None, axis: int = -1,
    norm: _Norm = None, *, out: Optional[npt.NDArray[np.complex128]] = None,
    overwrite_x: bool = False, workers: Optional[int] = None) -> npt.NDArray[np.complex128]: ...
@overload
def ifft(a: npt.NDArray[_Single], n: Optional[int] = None, axis: int = -1,  # type: ignore
    norm: _Norm = None, *, out: Optional[npt.NDArray[np.complex64]] = None,
    overwrite_x: bool = False, workers: Optional[int] = None) -> npt.NDArray[np.complex64]: ...
@overload
def ifft(a: npt.ArrayLike, n: Optional[int] = None, axis: int = -1,
    norm: _Norm = None, *, out: Optional[npt.NDArray[np.complex128]] = None,
    overwrite_x: bool = False, workers: Optional[int] = None) -> npt.NDArray[np.complex128]: ...
@overload
def rfft(a: npt.NDArray[_SingleReal], n: Optional[int] = None, axis: int = -1,  # type: ignore
    norm: _Norm = None, *, out: Optional[npt.NDArray[np.complex64]] = None,
    overwrite_x: bool = False, workers: Optional[int] = None) -> npt.NDArray[np.complex64]: ...
@overload
def rfft(a: npt.ArrayLike, n: Optional[int] = None, axis: int = -1,
    norm: _Norm = None, *, out: Optional[npt.NDArray[np.complex128]] = None,
    overwrite_x: bool = False, workers: Optional[int] = None) -> npt.NDArray[np.complex128]: ...
@overload
def irfft(a: npt.NDArray[_Single], n: Optional[int] = None, axis: int = -1,  # type: ignore
    norm: _Norm = None, *, out: Optional[npt.NDArray[np.float32]] = None,
    overwrite_x: bool = False, workers: Optional[int] = None) -> npt.NDArray[np.float32]: ...
@overload
def irfft(a: npt.ArrayLike, n: Optional[int] = None, axis: int = -1,
    norm: _Norm = None, *, out: Optional[npt.NDArray[np.float64]] = None,
    overwrite_x: bool = False, workers: Optional[int] = None) -> npt.NDArray[np.float64]: ...
@overload
def hfft(a: npt.NDArray[_Single], n: Optional[int] = None, axis: int = -1,  # type: ignore
    norm: _Norm = None, *, out: Optional[npt.NDArray[np.float32]] = None,
    overwrite_x: bool = False, workers: Optional[int] = None) -> npt.NDArray[np.float32]: ...
@overload
def hfft(a: npt.ArrayLike, n: Optional[int] = None, axis: int = -1,
    norm: _Norm = None, *, out: Optional[npt.NDArray[np.float64]] = None,
    overwrite_x: bool = False, workers: Optional[int] = None) -> npt.NDArray[np.float64]: ...
@overload
def ihfft(a: npt.NDArray[_SingleReal], n: Optional[int] = None, axis: int = -1,  # type: ignore
    norm: _Norm = None, *, out: Optional[npt.NDArray[np.complex64]] = None,
    overwrite_x: bool = False, workers: Optional[int] = None) -> npt.NDArray[np.complex64]: ...
@overload
def ihfft(a: npt.ArrayLike, n: Optional[int] = None, axis: int = -1,
    norm: _Norm = None, *, out: Optional[npt.NDArray[np.complex128]] = None,
    overwrite_x: bool = False, workers: Optional[int] = None) -> npt.NDArray[np.complex128]: ...
@overload
def fftn(a: npt.NDArray[_Single], s: Optional[Sequence[int]] = None,  # type: ignore
    axes: Optional[Sequence[int]] = None, norm: _Norm = None, *,
    out: Optional[npt.NDArray[np.complex64]] = None, overwrite_x: bool = False,
    workers: Optional[int] = None) -> npt.NDArray[np.complex64]: ...
@overload
def fftn(a: npt.ArrayLike, s: Optional[Sequence[int]] = None,
    axes: Optional[Sequence[int]] = None, norm: _Norm = None, *,
    out: Optional[npt.NDArray[np.complex128]] = None, overwrite_x: bool = False,
    workers: Optional[int] = None) -> npt.NDArray[np.complex128]: ...
@overload
def ifftn(a: npt.NDArray[_Single], s: Optional[Sequence[int]] = None,  # type: ignore
    axes: Optional[Sequence[int]] = None, norm: _Norm = None, *,
    out: Optional[npt.NDArray[np.complex64]] = None, overwrite_x: bool = False,
    workers: Optional[int] = None) -> npt.NDArray[np.complex64]: ...
@overload
def ifftn(a: npt.ArrayLike, s: Optional[Sequence[int]] = None,
    axes: Optional[Sequence[int]] = None, norm: _Norm = None, *,
    out: Optional[npt.NDArray[np.complex128]] = None, overwrite_x: bool = False,
    workers: Optional[int] = None) -> npt.NDArray[np.complex128]: ...
@overload
def fft2(a: npt.NDArray[_Single], s: Optional[Sequence[int]] = None,  # type: ignore
    axes: Optional[Sequence[int]] = (-2, -1), norm: _Norm = None, *,
    out: Optional[npt.NDArray[np.complex64]] = None, overwrite_x: bool = False,
    workers: Optional[int] = None) -> npt.NDArray[np.complex64]: ...
@overload
def fft2(a: npt.ArrayLike, s: Optional[Sequence[int]] = None,
    axes: Optional[Sequence[int]] = (-2, -1), norm: _Norm = None, *,
    out: Optional[npt.NDArray[np.complex128]] = None, overwrite_x: bool = False,
    workers: Optional[int] = None) -> npt.NDArray[np.complex128]: ...
@overload
def ifft2(a: npt.NDArray[_Single], s: Optional[Sequence[int]] = None,  # type: ignore
    axes: Optional[Sequence[int]] = (-2, -1), norm: _Norm = None, *,
    out: Optional[npt.NDArray[np.complex64]] = None, overwrite_x: bool = False,
    workers: Optional[int] = None) -> npt.NDArray[np.complex64]: ...
@overload
def ifft2(a: npt.ArrayLike, s: Optional[Sequence[int]] = None,
    axes: Optional[Sequence[int]] = (-2, -1), norm: _Norm = None, *,
    out: Optional[npt.NDArray[np.complex128]] = None, overwrite_x: bool = False,
    workers: Optional[int] = None) -> npt.NDArray[np.complex128]: ...
@overload
def rfftn(a: npt.NDArray[_SingleReal], s: Optional[Sequence[int]] = None,  # type: ignore
    axes: Optional[Sequence[int]] = None, norm: _Norm = None, *,
    out: Optional[npt.NDArray[np.complex64]] = None, overwrite_x: bool = False,
    workers: Optional[int] = None) -> npt.NDArray[np.complex64]: ...
@overload
def rfftn(a: npt.ArrayLike, s: Optional[Sequence[int]] = None,
    axes: Optional[Sequence[int]] = None, norm: _Norm = None, *,
    out: Optional[npt.NDArray[np.complex128]] = None, overwrite_x: bool = False,
    workers: Optional[int] = None) -> npt.NDArray[np.complex128]: ...
@overload
def irfftn(a: npt.NDArray[_Single], s: Optional[Sequence[int]] = None,  # type: ignore
    axes: Optional[Sequence[int]] = None, norm: _Norm = None, *,
    out: Optional[npt.NDArray[np.float32]] = None, overwrite_x: bool = False,
    workers: Optional[int] = None) -> npt.NDArray[np.float32]: ...
@overload
def irfftn(a: npt.ArrayLike, s: Optional[Sequence[int]] = None,
    axes: Optional[Sequence[int]] = None, norm: _Norm = None, *,
    out: Optional[npt.NDArray[np.float64]] = None, overwrite_x: bool = False,
    workers: Optional[int] = None) -> npt.NDArray[np.float64]: ...
@overload
def rfft2(a: npt.NDArray[_SingleReal], s: Optional[Sequence[int]] = None,  # type: ignore
    axes: Optional[Sequence[int]] = (-2, -1), norm: _Norm = None, *,
    out: Optional[npt.NDArray[np.complex64]] = None, overwrite_x: bool = False,
    workers: Optional[int] = None) -> npt.NDArray[np.complex64]: ...
@overload
def rfft2(a: npt.ArrayLike, s: Optional[Sequence[int]] = None,
    axes: Optional[Sequence[int]] = (-2, -1), norm: _Norm = None, *,
    out: Optional[npt.NDArray[np.complex128]] = None, overwrite_x: bool = False,
    workers: Optional[int] = None) -> npt.NDArray[np.complex128]: ...
@overload
def irfft2(a: npt.NDArray[_Single], s: Optional[Sequence[int]] = None,  # type: ignore
    axes: Optional[Sequence[int]] = (-2, -1), norm: _Norm = None, *,
    out: Optional[npt.NDArray[np.float32]] = None, overwrite_x: bool = False,
    workers: Optional[int] = None) -> npt.NDArray[np.float32]: ...
@overload
def irfft2(a: npt.ArrayLike, s: Optional[Sequence[int]] = None,
    axes: Optional[Sequence[int]] = (-2, -1), norm: _Norm = None, *,
    out: Optional[npt.NDArray[np.float64]] = None, overwrite_x: bool = False,
    workers: Optional[int] = None) -> npt.NDArray[np.float64]: ...
def next_fast_len(target: int, real: bool = False) -> int: ...
def fftfreq(n: int, d: float = 1.0) -> npt.NDArray[np.float64]: ...
def rfftfreq(n: int, d: float = 1.0) -> npt.NDArray[np.float64]: ...
def fftshift(x: npt.ArrayLike,
             axes: Optional[Union[int, Sequence[int]]] = None) -> npt.NDArray[Any]: ...
def ifftshift(x: npt.ArrayLike,
              axes: Optional[Union[int, Sequence[int]]] = None) -> npt.NDArray[Any]: ...
def correlate(a: npt.ArrayLike, b: npt.ArrayLike) -> npt.NDArray[np.float64]: ...
def chebyshev_nodes(a: float, b: float, n: int) -> npt.NDArray[np.float64]: ...
def chebyshev_fit(f: Callable[[npt.NDArray[np.float64]], npt.ArrayLike], a: float, b: float,
                  n: int) -> npt.NDArray[np.float64]: ...
# A number gives a number, anything else an array (a number is array-like too).
@overload
def chebyshev_eval(c: npt.ArrayLike, a: float, b: float,  # type: ignore
                   x: _Scalar) -> float: ...
@overload
def chebyshev_eval(c: npt.ArrayLike, a: float, b: float,
                   x: npt.ArrayLike) -> npt.NDArray[np.float64]: ...
def chebyshev_integral(c: npt.ArrayLike, a: float, b: float) -> npt.NDArray[np.float64]: ...
@overload
def interp(x: _Scalar, xp: npt.ArrayLike,  # type: ignore
           fp: npt.ArrayLike) -> float: ...
@overload
def interp(x: npt.ArrayLike, xp: npt.ArrayLike, fp: npt.ArrayLike) -> npt.NDArray[np.float64]: ...
def run(directory: _Path = ".") -> list[Sample]: ...
def run_many(directories: Iterable[_Path], workers: Optional[int] = None,
             progress: Optional[Callable[[], object]] = None) -> list[list[Sample]]: ...
def results_table(runs: Iterable[Sequence[Sample]],
                  directories: Optional[Iterable[_Path]] = None) -> str: ...
def correlate_windows(x: npt.ArrayLike, spec: npt.ArrayLike, log: npt.ArrayLike,
                      windows: npt.ArrayLike,
                      names: Optional[Iterable[str]] = None) -> list[Sample]: ...
