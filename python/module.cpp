// SPDX-License-Identifier: BSD-3-Clause
// tamsel._core: the conventional layer and the run for Python (the
// transforms in module_fft.cpp).  The Python package (tamsel/__init__.py)
// gives these numpy's signatures; here every function works on C-contiguous
// arrays along their last axis or axes, and releases the GIL around the
// arithmetic.
#if defined(__FAST_MATH__)
#error "tamsel's Python module must not be built with -ffast-math or -Ofast: results would change"
#endif

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <complex>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <span>
#include <string>
#include <system_error>
#include <vector>

#include <tamsel/numeric/complex_fft.h>
#include <tamsel/numeric/conventional.h>
#include <tamsel/numeric/errors.h>
#include <tamsel/numeric/tabulated.h>
#include <tamsel/run.h>

#include "driver/results.h"
#include "driver/stop.h"
#include "numeric/fft/unit_roots.h"

namespace py = pybind11;

namespace tamsel_python {
// The transforms fft_rows, rfft_rows, irfft_rows and fft_blocks
// (module_fft.cpp).
void add_transforms(py::module_& m);
} // namespace tamsel_python

namespace conv = tamsel::conventional;
using conv::Complex;
using tamsel::Integer;
using tamsel::Real;

namespace {

constexpr auto kIn = py::array::c_style | py::array::forcecast;
using ComplexArray = py::array_t<Complex, kIn>;
using RealArray = py::array_t<double, kIn>;

PyObject* run_error_type = nullptr;

// Text of the run, whose names may hold any bytes.
py::str text(const char* bytes, std::size_t size, const char* errors) {
  PyObject* s = PyUnicode_DecodeUTF8(bytes, Py_ssize_t(size), errors);
  if (s == nullptr) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(s);
}

// four1's lengths: powers of two from 1 to 2^29.
void check_power_of_two(const char* routine, std::size_t n) {
  constexpr std::size_t kMost = std::size_t{1} << 29;
  if (n < 1 || n > kMost || (n & (n - 1)) != 0)
    throw py::value_error(std::string(routine) + ": length " + std::to_string(n) +
                          " is not a power of two from 1 to " + std::to_string(kMost));
}

std::vector<py::ssize_t> shape_of(const py::array& a) {
  return std::vector<py::ssize_t>(a.shape(), a.shape() + a.ndim());
}

// `value` as an array of doubles; a TypeError in the routine's words when it
// holds anything but numbers (ensure clears numpy's own error).
RealArray reals(const char* routine, const char* what, py::object value) {
  RealArray a = RealArray::ensure(value);
  if (!a) throw py::type_error(std::string(routine) + ": " + what + " must be an array of real numbers");
  return a;
}

RealArray one_dimensional(const char* routine, const char* what, py::object value) {
  RealArray a = reals(routine, what, value);
  if (a.ndim() != 1) throw py::value_error(std::string(routine) + ": " + what + " must be one-dimensional");
  return a;
}

// An array's values as a span, for as long as the array lives.  It reads
// the array's own fields and calls nothing in Python, so that it may be
// formed with the GIL released (a new array is writeable).
std::span<const double> values_of(const RealArray& a) { return {a.data(), std::size_t(a.size())}; }
std::span<double> values_of(RealArray& a) { return {a.mutable_data(), std::size_t(a.size())}; }

RealArray correlate(py::object first, py::object second) {
  const RealArray a = one_dimensional("correlate", "a", first);
  const RealArray b = one_dimensional("correlate", "b", second);
  RealArray out(a.size());
  py::gil_scoped_release release;
  conv::correlate(values_of(a), values_of(b), values_of(out));
  return out;
}

RealArray chebyshev_nodes(double a, double b, std::size_t n) {
  RealArray out(py::ssize_t{static_cast<py::ssize_t>(n)});
  py::gil_scoped_release release;
  conv::chebyshev_nodes(a, b, values_of(out));
  return out;
}

RealArray chebyshev_coefficients(double a, double b, py::object values) {
  const RealArray v = one_dimensional("chebyshev_fit", "the values", values);
  RealArray out(v.size());
  py::gil_scoped_release release;
  conv::chebyshev_fit(a, b, values_of(v), values_of(out));
  return out;
}

RealArray chebyshev_eval(py::object coefficients, double a, double b, py::object points) {
  const RealArray c = one_dimensional("chebyshev_eval", "the coefficients", coefficients);
  const RealArray x = reals("chebyshev_eval", "x", points);
  RealArray out(shape_of(x));
  py::gil_scoped_release release;
  conv::chebyshev_eval(values_of(c), a, b, values_of(x), values_of(out));
  return out;
}

RealArray chebyshev_integral(py::object coefficients, double a, double b) {
  const RealArray c = one_dimensional("chebyshev_integral", "the coefficients", coefficients);
  RealArray out(c.size());
  py::gil_scoped_release release;
  conv::chebyshev_integral(values_of(c), a, b, values_of(out));
  return out;
}

RealArray interp(py::object points, py::object abscissae, py::object values) {
  const RealArray x = reals("interp", "x", points);
  const RealArray xp = one_dimensional("interp", "xp", abscissae);
  const RealArray fp = one_dimensional("interp", "fp", values);
  RealArray out(shape_of(x));
  py::gil_scoped_release release;
  conv::interp(values_of(x), values_of(xp), values_of(fp), values_of(out));
  return out;
}

// four1 itself on 2n Reals, for tests that hold the module to the toolkit.
RealArray toolkit_four1(py::object data, int sign) {
  const RealArray in = one_dimensional("four1", "data", data);
  if (in.size() % 2 != 0) throw py::value_error("four1: an odd number of Reals");
  check_power_of_two("four1", std::size_t(in.size()) / 2);
  RealArray out(in.size());
  std::copy(in.data(), in.data() + in.size(), out.mutable_data());
  const Integer n = Integer(in.size() / 2), s = sign;
  tamsel::four1(out.mutable_data(), n, s);
  return out;
}

// The any-length engine's twiddle factors exp(-2 pi i k/n), for tests that
// hold them to a high-precision reference.
ComplexArray unit_roots(std::uint64_t n, const py::array_t<std::uint64_t, kIn>& k) {
  if (n < 1 || n > (std::uint64_t{1} << 40)) throw py::value_error("unit_roots: n is not from 1 to 2^40");
  ComplexArray out(k.size());
  const std::uint64_t* in = k.data();
  Complex* w = out.mutable_data();
  py::gil_scoped_release release;
  const tamsel::fft::UnitRoots roots(n);
  for (py::ssize_t i = 0; i < k.size(); ++i) w[i] = roots(in[i]);
  return out;
}

std::size_t next_fast_len(std::size_t target) {
  return conv::next_fast_len(target);
}

// Whether the floating-point environment flushes subnormal results to zero
// or treats subnormal operands as zero.
bool flushes_subnormals() {
  volatile double smallest_normal = 2.2250738585072014e-308, half = 0.5;
  volatile double subnormal = 4.9406564584124654e-324, one = 1.0;
  const double flushed = smallest_normal * half;
  const double read = subnormal * one;
  return flushed == 0.0 || read == 0.0;
}

py::tuple warning_tuple(const std::vector<std::string>& keys) {
  py::tuple out(keys.size());
  for (std::size_t i = 0; i < keys.size(); ++i) out[i] = py::str(keys[i]);
  return out;
}

// A flag that another thread sets to cancel a run (tamsel::RunOptions).
struct Cancel {
  std::atomic<bool> flag{false};
};

// The run in `directory` (the path's bytes): (samples, messages, status,
// stop), each sample a tuple (name, fmin, fmax, coefficient, warning keys,
// records), the messages being the warnings the command writes on standard
// error, and status and stop the exit status and message of a stop (0 and
// "" after a normal run).  The GIL is released for the whole run.
py::tuple run(const std::string& directory, const Cancel* cancel) {
  if (directory.find('\0') != std::string::npos)
    throw py::value_error("run: the directory's path holds a NUL byte");
  tamsel::RunResult result;
  std::string stop;
  int status = 0, failure = 0;
  {
    py::gil_scoped_release release;
    tamsel::RunOptions options;
    options.cancel = cancel != nullptr ? &cancel->flag : nullptr;
    try {
      result = tamsel::run_directory(directory.c_str(), options);
    } catch (const tamsel::RunError& e) {
      status = e.status();
      stop = e.what();
      result.messages = e.messages(); // the command reports nothing after a stop
    } catch (const std::system_error& e) {
      failure = e.code().value();
    }
  }
  if (failure != 0) {
    errno = failure;
    PyErr_SetFromErrnoWithFilename(PyExc_OSError, directory.c_str());
    throw py::error_already_set();
  }
  py::list out;
  for (const auto& r : result.samples)
    out.append(py::make_tuple(text(r.name.data(), r.name.size(), "surrogateescape"), r.fmin,
                              r.fmax, r.coefficient, warning_tuple(r.warnings), r.records));
  return py::make_tuple(out, text(result.messages.data(), result.messages.size(), "replace"),
                        status, text(stop.data(), stop.size(), "replace"));
}

// The run's measurement on tables and windows given as arrays: one tuple
// (coefficient, warning keys, records in the window) per window.
py::list correlate_windows(py::object abscissae, py::object spec_values, py::object log_values,
                           py::object lower, py::object upper) {
  const RealArray x = one_dimensional("correlate_windows", "x", abscissae);
  const RealArray s = one_dimensional("correlate_windows", "spec", spec_values);
  const RealArray l = one_dimensional("correlate_windows", "log", log_values);
  const RealArray fmin = one_dimensional("correlate_windows", "fmin", lower);
  const RealArray fmax = one_dimensional("correlate_windows", "fmax", upper);
  if (s.size() != x.size() || l.size() != x.size())
    throw py::value_error("correlate_windows: x, spec and log must hold as many values each");
  if (fmin.size() != fmax.size())
    throw py::value_error("correlate_windows: as many fmin as fmax");
  auto span = [](const RealArray& a) {
    return std::span<const Real>(a.data(), std::size_t(a.size()));
  };
  tamsel::RunResult result;
  {
    py::gil_scoped_release release;
    result = tamsel::correlate_windows(span(x), span(s), span(l), span(fmin), span(fmax));
  }
  py::list out;
  for (const auto& r : result.samples)
    out.append(py::make_tuple(r.coefficient, warning_tuple(r.warnings), r.records));
  return out;
}

// A name (its bytes) and a number as the command's results table writes
// them.
std::string table_name(const std::string& name) {
  std::string escaped;
  tamsel::append_table_name(escaped, name.data(), name.size());
  return escaped;
}

void raise_run_error(const std::string& message, int status) {
  py::object error = py::reinterpret_borrow<py::object>(run_error_type)(
      text(message.data(), message.size(), "replace"));
  error.attr("status") = status;
  PyErr_SetObject(run_error_type, error.ptr());
}

} // namespace

PYBIND11_MODULE(_core, m) {
  m.doc() = "tamsel's toolkit and run; use the package tamsel, which documents every function.";
  m.attr("__version__") = TAMSEL_VERSION;

  run_error_type = PyErr_NewException("tamsel.RunError", PyExc_RuntimeError, nullptr);
  if (run_error_type == nullptr) throw py::error_already_set();
  m.add_object("RunError", py::handle(run_error_type));
  // A stop, and a refusal of the toolkit as the command stops with it.
  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const tamsel::Stop& e) {
      raise_run_error(e.what(), e.status());
    } catch (const tamsel::RunError& e) {
      raise_run_error(e.what(), e.status());
    } catch (const tamsel::InvalidArgument& e) {
      raise_run_error(e.what(), tamsel::kStopStatus);
    } catch (const tamsel::DomainError& e) {
      raise_run_error(e.what(), tamsel::kStopStatus);
    }
  });

  tamsel_python::add_transforms(m);
  m.def("correlate", &correlate, py::arg("a"), py::arg("b"));
  m.def("chebyshev_nodes", &chebyshev_nodes, py::arg("a"), py::arg("b"), py::arg("n"));
  m.def("chebyshev_coefficients", &chebyshev_coefficients, py::arg("a"), py::arg("b"),
        py::arg("values"));
  m.def("chebyshev_eval", &chebyshev_eval, py::arg("c"), py::arg("a"), py::arg("b"), py::arg("x"));
  m.def("chebyshev_integral", &chebyshev_integral, py::arg("c"), py::arg("a"), py::arg("b"));
  m.def("interp", &interp, py::arg("x"), py::arg("xp"), py::arg("fp"));
  py::class_<Cancel>(m, "Cancel", "A flag that cancels the run it is given to.")
      .def(py::init<>())
      .def("set", [](Cancel& c) { c.flag.store(true); });
  m.def("run", &run, py::arg("directory"), py::arg("cancel") = nullptr);
  m.def("correlate_windows", &correlate_windows);
  m.def("table_name", &table_name, py::arg("name"));
  m.def("table_number", &tamsel::table_number, py::arg("value"));
  m.def("toolkit_four1", &toolkit_four1, py::arg("data"), py::arg("sign"));
  m.def("flushes_subnormals", &flushes_subnormals);
  m.def("unit_roots", &unit_roots, py::arg("n"), py::arg("k"));
  m.def("next_fast_len", &next_fast_len, py::arg("target"));
}
