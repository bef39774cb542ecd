#include "numeric/real_fft.h"

#include <cmath>

#include "numeric/complex_fft.h"
#include "numeric/stop.h"

namespace tamsel {

namespace {

// The same limit as four1, which both routines call with their own n.
constexpr Integer kMaxLength = Integer{1} << 29;

// The base angle is this constant over n; it lies 4 units in the last
// place above pi, and the results are fixed to it.
constexpr Real kHalfTurn = 3.141592653589795;

void check_length(const char* routine, Integer n) {
  if (n <= 0 || (n & (n - 1)) != 0) {
    stopf(kStopStatus, "%s: length %d is not a power of two", routine, n);
  }
  if (n > kMaxLength) {
    stopf(kStopStatus, "%s: length %d is too large (at most %d)", routine, n,
          kMaxLength);
  }
}

} // namespace

void realft(Real* data, const Integer& n, const Integer& sign) {
  // Positions p counted from 1 are data[p - 1].
  auto at = [data](Integer p) -> Real& { return data[p - 1]; };

  Integer count = n; // read on entry ...
  Integer direction = sign;
  check_length("realft", count);

  Real theta = kHalfTurn / static_cast<Real>(count);
  Real f;
  if (direction == 1) {
    // Forward: the 2n reals taken as n complex values z_p = x_2p + i*x_2p+1.
    four1(data, n, 1);
    count = n; // ... and again after the transform
    direction = sign;
    f = -0.5;
  } else {
    theta = -theta;
    f = 0.5;
  }

  const Real s = std::sin(0.5 * theta);
  const Real c_re = (s * s) * (-2.0); // cos(theta) - 1
  const Real c_im = std::sin(theta);
  Real w_re = 1.0 + c_re; // the twiddle factor starts at exp(i*theta)
  Real w_im = c_im;

  // Split Z_k and Z_{n-k} into the even and odd halves and recombine them.
  // For k = n/2 both are the same value, and the writes to a stand.
  for (Integer k = 1; k <= count / 2; ++k) {
    const Integer b = 2 * k + 1;
    const Integer a = 2 * (count - k) + 1;
    const Real b_re = at(b);
    const Real b_im = at(b + 1);
    const Real a_re = at(a);
    const Real a_im = at(a + 1);

    const Real u_re = (b_re + a_re) * 0.5;
    const Real u_im = (b_im - a_im) * 0.5;
    const Real v_re = -((b_im + a_im) * f);
    const Real v_im = (b_re - a_re) * f;

    at(b) = (w_re * v_re + u_re) - w_im * v_im;
    at(b + 1) = (u_im + v_im * w_re) + v_re * w_im;
    at(a + 1) = v_re * w_im + (v_im * w_re - u_im);
    at(a) = (u_re - w_re * v_re) + w_im * v_im;

    // w <- w * exp(i*theta), both parts from the old w.
    const Real old_re = w_re;
    w_re = w_re + (w_re * c_re - w_im * c_im);
    w_im = w_im + (old_re * c_im + w_im * c_re);
  }

  const Real y1 = at(1);
  const Real y2 = at(2);
  if (direction == 1) {
    at(1) = y1 + y2; // X_0
    at(2) = y1 - y2; // X_n
  } else {
    at(2) = (y1 - y2) * 0.5;
    at(1) = (y1 + y2) * 0.5;
    four1(data, n, -1);
  }
}

void twofft(const Real* data1, const Real* data2, Real* spectrum1,
            Real* spectrum2, const Integer& n) {
  // Positions p counted from 1 are array[p - 1].
  auto s1 = [spectrum1](Integer p) -> Real& { return spectrum1[p - 1]; };
  auto s2 = [spectrum2](Integer p) -> Real& { return spectrum2[p - 1]; };

  Integer count = n; // read on entry ...
  check_length("twofft", count);

  // One complex sequence: data1 as real parts, data2 as imaginary parts.
  for (Integer j = 1; j <= count; ++j) {
    s1(2 * j - 1) = data1[j - 1];
    s1(2 * j) = data2[j - 1];
  }
  four1(spectrum1, n, 1);
  count = n; // ... and again after the transform

  s2(1) = s1(2);
  s2(2) = 0.0;
  s1(2) = 0.0;

  // Z_k and Z_{n-k} separate into F_k = (Z_k + conj Z_{n-k}) / 2 and
  // G_k = (Z_k - conj Z_{n-k}) / (2i), and the mirrored values into their
  // conjugates.  For k = n/2 both places coincide.
  for (Integer k = 1; k <= count / 2; ++k) {
    const Integer b = 2 * k + 1;
    const Integer a = 2 * (count - k) + 1;
    const Real b_re = s1(b);
    const Real b_im = s1(b + 1);
    const Real a_im = s1(a + 1);
    const Real a_re = s1(a);

    s1(b) = 0.5 * (b_re + a_re);
    s1(b + 1) = 0.5 * (b_im - a_im);
    s1(a) = 0.5 * (b_re + a_re);
    s1(a + 1) = -0.5 * (b_im - a_im);
    s2(b) = 0.5 * (b_im + a_im);
    s2(b + 1) = -0.5 * (b_re - a_re);
    s2(a) = 0.5 * (b_im + a_im);
    s2(a + 1) = 0.5 * (b_re - a_re);
  }
}

} // namespace tamsel
