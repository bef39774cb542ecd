// SPDX-License-Identifier: BSD-3-Clause
#include <tamsel/numeric/conventional.h>

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <string>

#include <tamsel/numeric/chebyshev.h>
#include <tamsel/numeric/correlation.h>
#include <tamsel/numeric/tabulated.h>

#include "fft/any_length.h"
#include "fft/exact.h"
#include "fft/lines.h"
#include "parallel.h"

namespace tamsel::conventional {

namespace {

constexpr std::size_t kLargestLength = std::size_t{1} << 29;

[[noreturn]] void refuse(const char* routine, const std::string& what) {
  throw std::invalid_argument(std::string(routine) + ": " + what);
}

// n as an Integer, refused unless a power of two from `least` to `most`.
Integer power_of_two(const char* routine, const char* what, std::size_t n,
                     std::size_t least = 1, std::size_t most = kLargestLength) {
  if (n < least || n > most || (n & (n - 1)) != 0)
    refuse(routine, std::string(what) + " " + std::to_string(n) + " is not a power of two from " +
                        std::to_string(least) + " to " + std::to_string(most));
  return static_cast<Integer>(n);
}

// n, refused unless from 1 to kLargestLength; true when it is a power of
// two (the radix-2 engine with exact factors), false when the any-length
// engine takes it.
bool power_of_two_or_any(const char* routine, const char* what, std::size_t n) {
  if (n < 1 || n > kLargestLength)
    refuse(routine, std::string(what) + " " + std::to_string(n) + " is not from 1 to " +
                        std::to_string(kLargestLength));
  return (n & (n - 1)) == 0;
}

void same_size(const char* routine, const char* what, std::size_t size, std::size_t expected) {
  if (size != expected)
    refuse(routine, std::string(what) + " holds " + std::to_string(size) + " values, not " +
                        std::to_string(expected));
}

Real* reals(std::span<Complex> data) { return reinterpret_cast<Real*>(data.data()); }

// The toolkit's first coefficient enters with half its weight; numpy's
// with its whole weight.
constexpr Real kHalf = 0.5;

} // namespace

void fft(std::span<Complex> data) {
  if (!power_of_two_or_any("fft", "length", data.size())) return fft::any::forward(data);
  fft::exact::transform(reals(data), static_cast<Integer>(data.size()), -1);
}

void ifft(std::span<Complex> data) {
  batch::backward_unscaled(data);
  batch::divide(data.data(), data.size(), static_cast<double>(data.size()));
}

namespace {

// Even lengths from 2 to kThroughComplex: rfft and irfft as complex
// transforms of the n values (imaginary parts 0; the spectrum extended by
// its conjugates).  The half-length transform of x[2j] + i x[2j + 1] and
// its recombination, which longer lengths take, leave about a tenth more
// error, and up to half as much again in a round trip (bench/NOTES.md).
// The complex transform takes up to twice their time, which at these
// lengths is a fraction of a microsecond.  The complex values on the
// stack, not set (4 KiB).
constexpr std::size_t kThroughComplex = 256;
struct Work {
  alignas(64) std::byte bytes[kThroughComplex * sizeof(Complex)];
  Complex* values() { return reinterpret_cast<Complex*>(bytes); }
};

bool through_complex(std::size_t n) { return n % 2 == 0 && n <= kThroughComplex; }

void rfft_through_complex(std::span<const double> in, std::span<Complex> out) {
  Work storage;
  Complex* work = storage.values();
  const std::size_t n = in.size(), h = n / 2;
  for (std::size_t j = 0; j < n; ++j) work[j] = Complex(in[j], 0.0);
  fft(std::span<Complex>(work, n));
  std::copy_n(work, h + 1, out.begin());
  out[0] = Complex(work[0].real(), 0.0);
  out[h] = Complex(work[h].real(), 0.0);
}

void irfft_through_complex(std::span<const Complex> in, std::span<double> out) {
  Work storage;
  Complex* work = storage.values();
  const std::size_t n = out.size(), h = n / 2;
  work[0] = Complex(in[0].real(), 0.0);
  work[h] = Complex(in[h].real(), 0.0);
  for (std::size_t k = 1; k < h; ++k) {
    work[k] = in[k];
    work[n - k] = std::conj(in[k]);
  }
  batch::backward_unscaled(std::span<Complex>(work, n));
  for (std::size_t j = 0; j < n; ++j) out[j] = work[j].real();
  batch::divide_parts(out.data(), n, static_cast<double>(n));
}

} // namespace

void rfft(std::span<const double> in, std::span<Complex> out) {
  const bool binary = power_of_two_or_any("rfft", "length", in.size());
  same_size("rfft", "the output", out.size(), in.size() / 2 + 1);
  if (through_complex(in.size())) return rfft_through_complex(in, out);
  if (!binary) return fft::any::real_forward(in, out);
  const Integer n = static_cast<Integer>(in.size());
  Real* packed = reals(out);
  if (n == 1) {
    out[0] = Complex(in[0], 0.0);
    return;
  }
  // The packed spectrum: X_k at [2k], [2k+1] for k = 1 .. n/2 - 1, X_0 at
  // [0] and X_{n/2} at [1].
  std::copy(in.begin(), in.end(), packed);
  fft::exact::real_forward(packed, n / 2);
  const Real nyquist = packed[1];
  packed[1] = 0.0;
  packed[n] = nyquist;
  packed[n + 1] = 0.0;
}

void irfft(std::span<const Complex> in, std::span<double> out) {
  const bool binary = power_of_two_or_any("irfft", "length", out.size());
  same_size("irfft", "the spectrum", in.size(), out.size() / 2 + 1);
  if (through_complex(out.size())) return irfft_through_complex(in, out);
  if (!binary) return fft::any::real_backward(in, out);
  const Integer n = static_cast<Integer>(out.size());
  if (n == 1) {
    out[0] = in[0].real();
    return;
  }
  // The packed spectrum, whose inverse leaves n/2 times the sequence.
  Real* packed = out.data();
  const double* parts = reinterpret_cast<const double*>(in.data());
  std::copy(parts + 2, parts + n, packed + 2);
  packed[0] = in[0].real();
  packed[1] = in[std::size_t(n / 2)].real();
  fft::exact::real_backward(packed, n / 2);
  // Times 2/n: divided by n/2, a power of two.
  batch::divide_parts(packed, out.size(), static_cast<Real>(n / 2));
}

std::size_t next_fast_len(std::size_t target) {
  if (target > kLargestLength)
    refuse("next_fast_len", "target " + std::to_string(target) + " is above " +
                                std::to_string(kLargestLength));
  return fft::any::fast_length(target);
}

namespace batch {

// ifft's steps before its division by n: ifft is this and divide.
void backward_unscaled(std::span<Complex> data) {
  if (!power_of_two_or_any("ifft", "length", data.size())) return fft::any::backward(data);
  fft::exact::transform(reals(data), static_cast<Integer>(data.size()), 1);
}

} // namespace batch

namespace {

// The number of values of an array of this shape, refused unless it has an
// axis, every length is from 1 to kLargestLength and their product at most
// kLargestLength; and the thread count, refused if 0.
std::size_t checked_count(const char* routine, std::span<const std::size_t> shape,
                          unsigned threads) {
  if (shape.empty()) refuse(routine, "the shape has no axis");
  std::size_t count = 1;
  for (std::size_t d = 0; d < shape.size(); ++d) {
    const std::string what = "length of axis " + std::to_string(d) + ",";
    power_of_two_or_any(routine, what.c_str(), shape[d]);
    count *= shape[d];
    if (count > kLargestLength)
      refuse(routine, "the array holds more than " + std::to_string(kLargestLength) + " values");
  }
  if (threads == 0) refuse(routine, "the thread count is 0");
  return count;
}

// fftn or ifftn after checking the shape and the thread count.
void transform_all(const char* routine, std::span<Complex> data,
                   std::span<const std::size_t> shape, bool inverse, unsigned threads) {
  same_size(routine, "the array", data.size(), checked_count(routine, shape, threads));
  batch::transform_axes(data, shape, inverse, threads);
}

// The lines along the last axis of rfftn's and irfftn's arrays, checked:
// `reals` values in the real array, `complexes` in the spectrum (`what`).
struct RealLines {
  std::size_t n, m, rows;  // the axis's length, its spectrum's, the lines
};
RealLines real_lines(const char* routine, std::span<const std::size_t> shape, unsigned threads,
                     std::size_t reals, const char* what, std::size_t complexes) {
  const std::size_t count = checked_count(routine, shape, threads);
  same_size(routine, "the array", reals, count);
  const std::size_t n = shape.back(), m = n / 2 + 1, rows = count / n;
  same_size(routine, what, complexes, rows * m);
  return {n, m, rows};
}

} // namespace

void rfftn(std::span<const double> in, std::span<Complex> out,
           std::span<const std::size_t> shape, unsigned threads) {
  const RealLines lines = real_lines("rfftn", shape, threads, in.size(), "the output", out.size());
  const std::size_t n = lines.n, m = lines.m, rows = lines.rows;
  detail::in_parts(rows, threads, [&](std::size_t first, std::size_t last, std::size_t) {
    for (std::size_t r = first; r < last; ++r) rfft(in.subspan(r * n, n), out.subspan(r * m, m));
  });
  batch::transform_axes(out, shape.first(shape.size() - 1), false, threads, m);
}

void irfftn(std::span<const Complex> in, std::span<double> out,
            std::span<const std::size_t> shape, unsigned threads) {
  const RealLines lines =
      real_lines("irfftn", shape, threads, out.size(), "the spectrum", in.size());
  const std::size_t n = lines.n, m = lines.m, rows = lines.rows;
  std::vector<Complex> work(in.begin(), in.end());
  batch::transform_axes(work, shape.first(shape.size() - 1), true, threads, m);
  detail::in_parts(rows, threads, [&](std::size_t first, std::size_t last, std::size_t) {
    for (std::size_t r = first; r < last; ++r)
      irfft(std::span<const Complex>(work).subspan(r * m, m), out.subspan(r * n, n));
  });
}

void fftn(std::span<Complex> data, std::span<const std::size_t> shape) {
  transform_all("fftn", data, shape, false, 1);
}

void ifftn(std::span<Complex> data, std::span<const std::size_t> shape) {
  transform_all("ifftn", data, shape, true, 1);
}

void fftn(std::span<Complex> data, std::span<const std::size_t> shape, unsigned threads) {
  transform_all("fftn", data, shape, false, threads);
}

void ifftn(std::span<Complex> data, std::span<const std::size_t> shape, unsigned threads) {
  transform_all("ifftn", data, shape, true, threads);
}

void correlate(std::span<const double> a, std::span<const double> b, std::span<double> out) {
  const Integer n = power_of_two("correlate", "length", a.size(), 2, 8192);
  same_size("correlate", "the second sequence", b.size(), a.size());
  same_size("correlate", "the output", out.size(), a.size());
  std::vector<Real> result(2 * a.size());
  correl(a.data(), b.data(), n, result.data());
  std::copy_n(result.begin(), a.size(), out.begin());
}

void chebyshev_nodes(double a, double b, std::span<double> nodes) {
  const std::size_t n = nodes.size();
  if (n < 1 || n > std::size_t(detail::kChebftScratch))
    refuse("chebyshev_nodes", "n " + std::to_string(n) + " is not from 1 to 100");
  Real f[detail::kChebftScratch];
  const detail::ChebftNodes mapping = detail::chebft_start(a, b, f);
  const Integer count = static_cast<Integer>(n);
  for (Integer k = 1; k <= count; ++k) nodes[std::size_t(k - 1)] = detail::chebft_node(mapping, count, k);
}

void chebyshev_fit(double a, double b, std::span<const double> values,
                   std::span<double> coefficients) {
  const std::size_t n = values.size();
  if (n < 1 || n > std::size_t(detail::kChebftScratch))
    refuse("chebyshev_fit", "n " + std::to_string(n) + " is not from 1 to 100");
  same_size("chebyshev_fit", "the coefficients", coefficients.size(), n);
  // chebft's scratch, as chebft leaves it after sampling these values.
  Real f[detail::kChebftScratch];
  detail::chebft_start(a, b, f);
  std::copy(values.begin(), values.end(), f);
  const Integer count = static_cast<Integer>(n);
  detail::chebft_finish(f, count, count, coefficients.data());
  coefficients[0] = coefficients[0] * kHalf;
}

void chebyshev_eval(std::span<const double> coefficients, double a, double b,
                    std::span<const double> x, std::span<double> out) {
  if (coefficients.empty()) refuse("chebyshev_eval", "no coefficient");
  if (coefficients.size() > kLargestLength) refuse("chebyshev_eval", "too many coefficients");
  same_size("chebyshev_eval", "the output", out.size(), x.size());
  for (std::size_t i = 0; i < x.size(); ++i) {
    if ((x[i] - a) * (x[i] - b) > 0.0) {
      // "%.17g" as in the C locale, whatever locale the process has set.
      const auto g = [](double v) {
        char text[32];
        return std::string(text, std::to_chars(text, text + sizeof text, v,
                                                std::chars_format::general, 17).ptr);
      };
      refuse("chebyshev_eval", "x[" + std::to_string(i) + "] = " + g(x[i]) + " is outside [" +
                                   g(a) + ", " + g(b) + "]");
    }
  }
  std::vector<Real> c(coefficients.begin(), coefficients.end());
  c[0] = c[0] / kHalf;
  const Integer m = static_cast<Integer>(c.size());
  constexpr std::size_t kChunk = std::size_t{1} << 30;
  for (std::size_t done = 0; done < x.size(); done += kChunk) {
    const Integer count = static_cast<Integer>(std::min(kChunk, x.size() - done));
    chebev_points(a, b, c.data(), m, x.data() + done, out.data() + done, count);
  }
}

void chebyshev_integral(std::span<const double> coefficients, double a, double b,
                        std::span<double> out) {
  const std::size_t n = coefficients.size();
  if (n < 2) refuse("chebyshev_integral", "n " + std::to_string(n) + " is below 2");
  if (n > kLargestLength) refuse("chebyshev_integral", "too many coefficients");
  same_size("chebyshev_integral", "the output", out.size(), n);
  std::vector<Real> c(coefficients.begin(), coefficients.end());
  c[0] = c[0] / kHalf;
  chint(a, b, c.data(), out.data(), static_cast<Integer>(n));
  out[0] = out[0] * kHalf;
}

void interp(std::span<const double> x, std::span<const double> xp, std::span<const double> fp,
            std::span<double> out) {
  if (xp.empty() || xp.size() > kLargestLength)
    refuse("interp", "the table holds " + std::to_string(xp.size()) + " points");
  same_size("interp", "fp", fp.size(), xp.size());
  same_size("interp", "the output", out.size(), x.size());
  const Integer last = static_cast<Integer>(xp.size() - 1);
  const Real offset = 0.0;
  // favr's values either way; on an ascending table found by bisection.
  const auto table_value = ascending_table(xp.data(), last) ? favr_ascending : favr;
  for (std::size_t i = 0; i < x.size(); ++i)
    out[i] = table_value(xp.data(), fp.data(), last, offset, x[i]);
}

} // namespace tamsel::conventional
