// SPDX-License-Identifier: BSD-3-Clause
#include <tamsel/numeric/complex_fft.h>

#include "fft/engine.h"

namespace tamsel {

void four1(Real* data, const Integer& n, const Integer& sign) {
  const Integer count = n; // n is read here only
  if (count <= 0) {
    return;
  }
  fft::check_length("four1", count);

  if (count == 1) {
    return; // a single value is its own transform
  }

  const Integer direction = sign; // sign is read here only
  if (direction == 1 || direction == -1) {
    fft::transform(data, count, direction);
  } else {
    fft::bit_reverse(data, count);
    fft::plain_passes(data, count, direction);
  }
}

} // namespace tamsel
