// SPDX-License-Identifier: BSD-3-Clause
// The numerical toolkit of tamsel: the header of every routine family in
// the toolkit's own conventions.  The same routines in numpy's and FFTW's
// conventions are <tamsel/numeric/conventional.h>, included on its own.
// Each routine's contract, thread safety included, is in its own header.
#pragma once

#include <tamsel/version.h>

#include <tamsel/numeric/chebyshev.h>
#include <tamsel/numeric/complex_fft.h>
#include <tamsel/numeric/correlation.h>
#include <tamsel/numeric/errors.h>
#include <tamsel/numeric/multidim_fft.h>
#include <tamsel/numeric/real_fft.h>
#include <tamsel/numeric/tabulated.h>
#include <tamsel/numeric/types.h>
