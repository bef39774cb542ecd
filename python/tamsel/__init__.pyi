# SPDX-License-Identifier: BSD-3-Clause
# The types of tamsel's functions, for type checkers; the docstrings are in
# __init__.py.
import os
from typing import Callable, Iterable, Literal, NamedTuple, Optional, Sequence, Union, overload

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

def fft(a: npt.ArrayLike, n: Optional[int] = None, axis: int = -1,
        norm: _Norm = None) -> npt.NDArray[np.complex128]: ...
def ifft(a: npt.ArrayLike, n: Optional[int] = None, axis: int = -1,
         norm: _Norm = None) -> npt.NDArray[np.complex128]: ...
def rfft(a: npt.ArrayLike, n: Optional[int] = None, axis: int = -1,
         norm: _Norm = None) -> npt.NDArray[np.complex128]: ...
def irfft(a: npt.ArrayLike, n: Optional[int] = None, axis: int = -1,
          norm: _Norm = None) -> npt.NDArray[np.float64]: ...
def fftn(a: npt.ArrayLike, s: Optional[Sequence[int]] = None,
         axes: Optional[Sequence[int]] = None,
         norm: _Norm = None) -> npt.NDArray[np.complex128]: ...
def ifftn(a: npt.ArrayLike, s: Optional[Sequence[int]] = None,
          axes: Optional[Sequence[int]] = None,
          norm: _Norm = None) -> npt.NDArray[np.complex128]: ...
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
