// SPDX-License-Identifier: BSD-3-Clause
// The whole numerical toolkit of tamsel: every routine family's header.
// Each routine's contract, thread safety included, is in its own header.
#pragma once

#include <tamsel/version.h>

#include <tamsel/numeric/chebyshev.h>
#include <tamsel/numeric/complex_fft.h>
#include <tamsel/numeric/correlation.h>
#include <tamsel/numeric/multidim_fft.h>
#include <tamsel/numeric/real_fft.h>
#include <tamsel/numeric/stop.h>
#include <tamsel/numeric/tabulated.h>
#include <tamsel/numeric/types.h>
