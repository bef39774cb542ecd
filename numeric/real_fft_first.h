// SPDX-License-Identifier: BSD-3-Clause
// The first value of an inverse real transform alone, for the correlation
// at lag 0; defined beside realft in real_fft.cpp, whose steps it shares.
//
// Internal to the toolkit; not part of its interface.
#pragma once

#include <tamsel/numeric/types.h>

namespace tamsel::fft {

// data[0] after realft(data, n, -1), the other values not formed; data is
// left in no useful state.  Refuses n as realft does.
Real realft_inverse_first(Real* data, const Integer& n);

} // namespace tamsel::fft
