# SPDX-License-Identifier: BSD-3-Clause
"""tamsel: FFTs, FFT correlation, Chebyshev series and table interpolation
with results fixed to the last bit, and the tamsel correlation run.

The transforms follow numpy.fft's conventions:

    fft(x)[k]  = sum_j x[j] * exp(-2*pi*i * j*k / n)
    ifft(X)[j] = 1/n * sum_k X[k] * exp(+2*pi*i * j*k / n)

natural order (index 0 first), over any axis with batches over the
others; fft2, rfftn, hfft and the rest of numpy.fft's and scipy.fft's
transforms too, with out= and overwrite_x=.  Double precision, and single
precision kept (float32 or complex64 in, out), computed in double and
rounded once.  Lengths are any from 1 to 2**29.  Every result is
the bits of the C++ toolkit: a power of two goes through the toolkit's
radix-2 engine, any other length through its mixed-radix and Bluestein
engine, both with twiddle factors correctly rounded by tamsel's own
arithmetic.
next_fast_len, fftfreq, rfftfreq, fftshift and ifftshift have numpy's and
scipy's meanings; workers= splits a batch between threads, scipy.fft's
way, and the lines of a single fftn or ifftn too, with the bits of one.

Accuracy: numpy's and scipy's at every length.  The relative RMS error of
fft against an exact reference, values uniform in [-1, 1): 1.7e-16 at 16
values, 2.3e-16 at 4096, 3.2e-16 at 2**20, 4.1e-16 at the primes 1009
and 10007 (numpy.fft: 1.4e-16, 2.2e-16, 3.1e-16, 5.0e-16, 5.3e-16); the
tables are in README.md and doc/python.md.

Every function releases the GIL while it computes and may be called from
several threads at once.  The results assume a floating-point environment
that keeps subnormal numbers; if something loaded into the process (a
library built with -ffast-math) flushes them to zero, importing tamsel
warns that results will differ.
"""

import warnings as _warnings

from tamsel import _core
from tamsel._runs import (RunError, RunWarning, Sample, correlate_windows, results_table, run,
                          run_many)
from tamsel._frequencies import fftfreq, fftshift, ifftshift, next_fast_len, rfftfreq
from tamsel._series import (chebyshev_eval, chebyshev_fit, chebyshev_integral, chebyshev_nodes,
                            interp)
from tamsel._transforms import correlate, fft, hfft, ifft, ihfft, irfft, rfft
from tamsel._transforms_nd import fft2, fftn, ifft2, ifftn, irfft2, irfftn, rfft2, rfftn

__all__ = [
    "fft", "ifft", "rfft", "irfft", "hfft", "ihfft", "fft2", "ifft2", "rfft2", "irfft2", "fftn",
    "ifftn", "rfftn", "irfftn", "next_fast_len", "fftfreq", "rfftfreq", "fftshift", "ifftshift",
    "correlate",
    "chebyshev_nodes", "chebyshev_fit", "chebyshev_eval", "chebyshev_integral",
    "interp", "run", "run_many", "results_table", "correlate_windows", "Sample", "RunError",
    "RunWarning",
]

__version__ = _core.__version__

if _core.flushes_subnormals():
    _warnings.warn(
        "tamsel: the floating-point environment flushes subnormal numbers to "
        "zero (something in this process was built with -ffast-math or "
        "-Ofast); tamsel's results will differ from its documented bits",
        RuntimeWarning, stacklevel=2)
