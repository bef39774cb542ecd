// Reference transcriptions of toolkit routines, for the tests.
//
// Each one follows the algorithm step by step as written, with no attention
// to speed, so that the routines of numeric/ (and any faster versions of
// them) can be checked against it bit for bit.
#pragma once

#include "numeric/types.h"

namespace tamsel::reference {

// Complex FFT of n complex values in 2n Reals (real, imaginary in turn),
// in place and unscaled: Z_k = sum_p z_p exp(sign 2pi i p k / n), with the
// pass angles 6.28318530717959 / (sign h).  n a power of two; n <= 0 leaves
// data untouched.
void four1(Real* data, const Integer& n, const Integer& sign);

} // namespace tamsel::reference
