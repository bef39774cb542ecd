# SPDX-License-Identifier: BSD-3-Clause
# The types of tamsel's functions, for type checkers; the docstrings are in
# __init__.py.
import os
from typing import (Any, Callable, Iterable, Literal, NamedTuple, Optional, Protocol, Sequence,
                    TypeVar, Union, overload)

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

# Single precision in (float16, float32, complex64), single precision out
# (computed in double); anything else gives double precision.  The
# transforms with one signature and one pair of result types share a
# protocol, of one axis or of several; the first overload is the narrower.
_Single = Union[np.float16, np.float32, np.complex64]
_Out32 = TypeVar("_Out32", bound=np.generic)
_Out64 = TypeVar("_Out64", bound=np.generic)

class _AlongAxis(Protocol[_Out32, _Out64]):
    @overload
    def __call__(self, a: npt.NDArray[_Single], n: Optional[int] = None, axis: int = -1,
                 norm: _Norm = None, *, out: Optional[npt.NDArray[_Out32]] = None,
                 overwrite_x: bool = False,
                 workers: Optional[int] = None) -> npt.NDArray[_Out32]: ...
    @overload
    def __call__(self, a: npt.ArrayLike, n: Optional[int] = None, axis: int = -1,
                 norm: _Norm = None, *, out: Optional[npt.NDArray[_Out64]] = None,
                 overwrite_x: bool = False,
                 workers: Optional[int] = None) -> npt.NDArray[_Out64]: ...

# axes: every axis for the n-dimensional forms, the last two for the
# two-axis ones.
class _OverAxes(Protocol[_Out32, _Out64]):
    @overload
    def __call__(self, a: npt.NDArray[_Single], s: Optional[Sequence[int]] = None,
                 axes: Optional[Sequence[int]] = ..., norm: _Norm = None, *,
                 out: Optional[npt.NDArray[_Out32]] = None, overwrite_x: bool = False,
                 workers: Optional[int] = None) -> npt.NDArray[_Out32]: ...
    @overload
    def __call__(self, a: npt.ArrayLike, s: Optional[Sequence[int]] = None,
                 axes: Optional[Sequence[int]] = ..., norm: _Norm = None, *,
                 out: Optional[npt.NDArray[_Out64]] = None, overwrite_x: bool = False,
                 workers: Optional[int] = None) -> npt.NDArray[_Out64]: ...

fft: _AlongAxis[np.complex64, np.complex128]
ifft: _AlongAxis[np.complex64, np.complex128]
rfft: _AlongAxis[np.complex64, np.complex128]
irfft: _AlongAxis[np.float32, np.float64]
hfft: _AlongAxis[np.float32, np.float64]
ihfft: _AlongAxis[np.complex64, np.complex128]
fftn: _OverAxes[np.complex64, np.complex128]
ifftn: _OverAxes[np.complex64, np.complex128]
fft2: _OverAxes[np.complex64, np.complex128]
ifft2: _OverAxes[np.complex64, np.complex128]
rfftn: _OverAxes[np.complex64, np.complex128]
rfft2: _OverAxes[np.complex64, np.complex128]
irfftn: _OverAxes[np.float32, np.float64]
irfft2: _OverAxes[np.float32, np.float64]
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
