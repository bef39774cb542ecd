// SPDX-License-Identifier: BSD-3-Clause
// tamsel._core's transforms: fft, ifft, rfft and irfft along the last axis
// of C-contiguous arrays (a batch of rows, through one plan of
// <tamsel/numeric/fft_plan.h> per call) and fftn or ifftn over their last
// axes, each split between `workers` threads without the GIL, into a new
// array or a given out; and the common entries, which take the Python
// functions' most frequent call at the least cost.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <algorithm>
#include <bit>
#include <climits>
#include <complex>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <type_traits>
#include <vector>

#include <tamsel/numeric/conventional.h>
#include <tamsel/numeric/fft_plan.h>

#include "numeric/parallel.h"
#include "python/aligned_memory.h"

namespace py = pybind11;
namespace conv = tamsel::conventional;
using conv::Complex;

namespace {

constexpr auto kIn = py::array::c_style | py::array::forcecast;
using ComplexArray = py::array_t<Complex, kIn>;
using RealArray = py::array_t<double, kIn>;

// The transforms' lengths: any from 1 to 2^29.
void check_length(const char* routine, std::size_t n) {
  constexpr std::size_t kMost = std::size_t{1} << 29;
  if (n < 1 || n > kMost)
    throw py::value_error(std::string(routine) + ": length " + std::to_string(n) +
                          " is not from 1 to " + std::to_string(kMost));
}

// The thread count for a transform of `values` values in all: workers,
// but at most one per 2^18 values (and at least 1), since below that a
// thread's start costs more than its share saves (bench/NOTES.md).
// workers is an upper bound, as scipy.fft's; the bits do not depend on it.
unsigned threads(std::size_t workers, std::size_t values) {
  constexpr std::size_t kValuesPerThread = std::size_t{1} << 18;
  const std::size_t most = std::max<std::size_t>(1, values / kValuesPerThread);
  return unsigned(std::clamp<std::size_t>(std::min(workers, most), 1, UINT_MAX));
}

std::vector<py::ssize_t> shape_of(const py::array& a) {
  return std::vector<py::ssize_t>(a.shape(), a.shape() + a.ndim());
}

// A new C-contiguous array of this shape, its values not set, whose data
// start on a 64-byte boundary: the toolkit's widest kernels run slower on
// transforms of more than 2^11 values that do not, and numpy's own large
// arrays start 16 bytes past one.  (Not on a page's, though the transforms
// are faster there: the allocator maps and unmaps such memory on every
// call, bench/NOTES.md.)  Made through numpy's C interface directly, which
// costs less than pybind11's array constructor.
template <typename T>
py::array_t<T, kIn> aligned_array(const std::vector<py::ssize_t>& shape) {
  std::size_t count = 1;
  for (const py::ssize_t extent : shape) count *= std::size_t(extent);
  const std::size_t bytes = (count == 0 ? 1 : count) * sizeof(T);
  py::capsule owner = tamsel_python::aligned_memory<64>(bytes);
  const auto& api = py::detail::npy_api::get();
  auto array = py::reinterpret_steal<py::array_t<T, kIn>>(api.PyArray_NewFromDescr_(
      api.PyArray_Type_, py::dtype::of<T>().release().ptr(), int(shape.size()),
      const_cast<Py_intptr_t*>(shape.data()), nullptr, owner.get_pointer(),
      api.NPY_ARRAY_C_CONTIGUOUS_ | api.NPY_ARRAY_ALIGNED_ | api.NPY_ARRAY_WRITEABLE_, nullptr));
  if (!array) throw py::error_already_set();
  if (api.PyArray_SetBaseObject_(array.ptr(), owner.release().ptr()) != 0)
    throw py::error_already_set();
  return array;
}

bool native(const py::detail::PyArrayDescr_Proxy* descr) {
  return descr->byteorder != (std::endian::native == std::endian::little ? '>' : '<');
}

// Whether h is an array of T that a transform reads or writes in place:
// C-contiguous, aligned, in the machine's byte order (and writeable, for
// `writes`).
template <typename T>
bool usable(py::handle h, bool writes) {
  const auto& api = py::detail::npy_api::get();
  if (!api.PyArray_Check_(h.ptr())) return false;
  const auto* a = py::detail::array_proxy(h.ptr());
  const auto* descr = py::detail::array_descriptor_proxy(a->descr);
  const int wanted = std::is_same_v<T, double> ? api.NPY_DOUBLE_ : api.NPY_CDOUBLE_;
  const int flags = api.NPY_ARRAY_C_CONTIGUOUS_ | api.NPY_ARRAY_ALIGNED_ |
                    (writes ? api.NPY_ARRAY_WRITEABLE_ : 0);
  return descr->type_num == wanted && native(descr) && (a->flags & flags) == flags;
}

// The result's array: `out` when one is given (an array of T that usable
// takes for writing, of this shape, else ValueError) and its memory does
// not overlap [in, in_end), else a new one (which the caller copies into
// out: see finish).
template <typename T>
py::array_t<T, kIn> result_array(py::handle out, const std::vector<py::ssize_t>& shape,
                                 const void* in, const void* in_end) {
  if (out.is_none()) return aligned_array<T>(shape);
  const auto* o = py::detail::array_proxy(out.ptr());  // read once usable took out
  if (!usable<T>(out, true) || std::size_t(o->nd) != shape.size() ||
      !std::equal(shape.begin(), shape.end(), o->dimensions))
    throw py::value_error("out is not a C-contiguous writeable array of the result");
  auto array = py::reinterpret_borrow<py::array_t<T, kIn>>(out);
  const auto address = [](const void* p) { return reinterpret_cast<std::uintptr_t>(p); };
  const std::uintptr_t begin = address(array.data()), end = begin + std::size_t(array.nbytes());
  if (begin < address(in_end) && address(in) < end) return aligned_array<T>(shape);
  return array;
}

// The result: `result`, or out filled from it when result_array could not
// give out itself.
template <typename T>
py::object finish(py::array_t<T, kIn> result, py::handle out) {
  if (out.is_none() || result.is(out)) return py::reinterpret_steal<py::object>(result.release());
  auto array = py::reinterpret_borrow<py::array_t<T, kIn>>(out);
  std::copy_n(result.data(), result.size(), array.mutable_data());
  return py::reinterpret_borrow<py::object>(out);
}

// The plan's transform of every row of `in` (rows of the plan's input
// length) into out (rows of its output length), without the GIL.
template <typename In, typename Out>
void plan_rows(const conv::FftPlan& plan, const In* in, Out* out, std::size_t rows,
               std::size_t workers) {
  py::gil_scoped_release release;
  const std::size_t values = rows * std::max(plan.input_length(), plan.output_length());
  plan.execute(in, conv::Lines{1, plan.input_length()}, out, conv::Lines{1, plan.output_length()},
               rows, threads(workers, values));
}

// The byte after the last value of a.
template <typename T>
const void* end_of(const py::array_t<T, kIn>& a) {
  return reinterpret_cast<const char*>(a.data()) + a.nbytes();
}

// fft or ifft along the last axis of a, into out when it is given.
py::object transform_rows(const ComplexArray& a, bool inverse, std::size_t workers,
                          py::handle out) {
  const char* routine = inverse ? "ifft" : "fft";
  if (a.ndim() == 0) throw py::value_error(std::string(routine) + ": the array has no axis");
  const std::size_t n = std::size_t(a.shape(a.ndim() - 1));
  check_length(routine, n);
  auto result = result_array<Complex>(out, shape_of(a), a.data(), end_of(a));
  const conv::FftPlan plan(inverse ? conv::Transform::backward : conv::Transform::forward, n);
  plan_rows(plan, a.data(), result.mutable_data(), std::size_t(a.size()) / n, workers);
  return finish(std::move(result), out);
}

py::object rfft_rows(const RealArray& a, std::size_t workers, py::handle out) {
  if (a.ndim() == 0) throw py::value_error("rfft: the array has no axis");
  const std::size_t n = std::size_t(a.shape(a.ndim() - 1));
  check_length("rfft", n);
  auto shape = shape_of(a);
  shape.back() = py::ssize_t(n / 2 + 1);
  auto result = result_array<Complex>(out, shape, a.data(), end_of(a));
  const conv::FftPlan plan(conv::Transform::real_forward, n);
  plan_rows(plan, a.data(), result.mutable_data(), std::size_t(a.size()) / n, workers);
  return finish(std::move(result), out);
}

// a's last axis holds n/2 + 1 values (the caller fits it).  With
// `conjugate`, irfft of the conjugates (hfft's), each row conjugated into
// a scratch row of its thread rather than the whole array into a copy.
py::object irfft_rows(const ComplexArray& a, std::size_t n, std::size_t workers, bool conjugate,
                      py::handle out) {
  check_length("irfft", n);
  const std::size_t m = n / 2 + 1;
  if (a.ndim() == 0 || std::size_t(a.shape(a.ndim() - 1)) != m)
    throw py::value_error("irfft: the last axis must hold n/2 + 1 values");
  auto shape = shape_of(a);
  shape.back() = py::ssize_t(n);
  auto result = result_array<double>(out, shape, a.data(), end_of(a));
  const std::size_t rows = std::size_t(result.size()) / n;
  if (!conjugate) {
    const conv::FftPlan plan(conv::Transform::real_backward, n);
    plan_rows(plan, a.data(), result.mutable_data(), rows, workers);
    return finish(std::move(result), out);
  }
  const Complex* in = a.data();
  double* x = result.mutable_data();
  {
    py::gil_scoped_release release;
    tamsel::detail::in_parts(rows, threads(workers, rows * n), [&](std::size_t first,
                                                                   std::size_t last, std::size_t) {
      std::vector<Complex> row(m);
      for (std::size_t r = first; r < last; ++r) {
        for (std::size_t k = 0; k < m; ++k) row[k] = std::conj(in[r * m + k]);
        conv::irfft(row, {x + r * n, n});
      }
    });
  }
  return finish(std::move(result), out);
}

// The common case of fft, ifft, rfft and irfft, axis, norm and workers
// left out and n none or the length a takes whole (the entries below
// check n): a numpy array itself (not a subclass) of at least
// one axis, the last of `least` to `most` values, of booleans, integers
// or doubles (and complex doubles for `complex`); and out none or an array
// of Out that usable takes for writing, shaped as a but for `last(n)`
// values along the last axis (for n along a's).  Returns n, or 0 for
// anything else, which the caller takes through its general path and its
// checks; nothing is converted or allocated before.
template <typename Out, typename Last>
std::size_t common(py::handle a, py::handle out, std::size_t least, std::size_t most,
                   bool complex, Last last) {
  const auto& api = py::detail::npy_api::get();
  if (Py_TYPE(a.ptr()) != api.PyArray_Type_) return 0;
  const auto* array = py::detail::array_proxy(a.ptr());
  if (array->nd < 1) return 0;
  const auto n = std::size_t(array->dimensions[array->nd - 1]);
  const auto* descr = py::detail::array_descriptor_proxy(array->descr);
  const char kind = descr->kind;
  if (n < least || n > most ||
      !(kind == 'b' || kind == 'i' || kind == 'u' || descr->type_num == api.NPY_DOUBLE_ ||
        (complex && descr->type_num == api.NPY_CDOUBLE_)))
    return 0;
  if (out.is_none()) return n;
  if (!usable<Out>(out, true)) return 0;
  const auto* o = py::detail::array_proxy(out.ptr());
  const bool fits = o->nd == array->nd &&
                    std::equal(array->dimensions, array->dimensions + array->nd - 1,
                               o->dimensions) &&
                    std::size_t(o->dimensions[o->nd - 1]) == last(n);
  return fits ? n : 0;
}

// a, which common took, as an array of T: a itself when usable takes it,
// else converted (which fails only for want of memory, for these dtypes).
template <typename T>
py::array_t<T, kIn> input(py::handle a) {
  if (usable<T>(a, false)) return py::reinterpret_borrow<py::array_t<T, kIn>>(a);
  auto converted = py::array_t<T, kIn>::ensure(a);
  if (!converted) throw std::bad_alloc();
  return converted;
}

constexpr std::size_t kMost = std::size_t{1} << 29;

// The length argument n as given: 0 for None, the value of an int (not a
// subclass) from 1, else kOther, which no length matches (the general
// path checks it).
constexpr std::size_t kOther = ~std::size_t{0};
std::size_t given(py::handle n) {
  if (n.is_none()) return 0;
  if (!PyLong_CheckExact(n.ptr())) return kOther;
  int overflow = 0;
  const long long value = PyLong_AsLongLongAndOverflow(n.ptr(), &overflow);
  return overflow != 0 || value < 1 ? kOther : std::size_t(value);
}

// Whether n, as given, takes the m values along the last axis whole (no
// cut, no padding); fft's, ifft's and rfft's common case.
bool whole(py::handle n, std::size_t m) {
  const std::size_t g = given(n);
  return g == 0 || g == m;
}

template <bool Inverse>
py::object fft_common(py::handle a, py::handle out, py::handle n) {
  const std::size_t m = common<Complex>(a, out, 1, kMost, true, [](std::size_t k) { return k; });
  if (m == 0 || !whole(n, m)) return py::none();
  return transform_rows(input<Complex>(a), Inverse, 1, out);
}

py::object rfft_common(py::handle a, py::handle out, py::handle n) {
  const std::size_t m =
      common<Complex>(a, out, 1, kMost, false, [](std::size_t k) { return k / 2 + 1; });
  if (m == 0 || !whole(n, m)) return py::none();
  return rfft_rows(input<double>(a), 1, out);
}

// n = 2 (m - 1) for m values along the last axis, or as given where it
// takes those m values.
py::object irfft_common(py::handle a, py::handle out, py::handle n_given) {
  const std::size_t g = given(n_given);
  if (g == kOther) return py::none();
  const auto n = [g](std::size_t m) { return g != 0 ? g : 2 * (m - 1); };
  const std::size_t m = common<double>(a, out, 2, kMost / 2, true, n);
  if (m == 0 || n(m) / 2 + 1 != m) return py::none();
  return irfft_rows(input<Complex>(a), n(m), 1, false, out);
}

// A common entry as a function of CPython's fast calling convention,
// called with a, out and n: pybind11's dispatch would be a large share of the
// whole call of a short transform (bench/NOTES.md).
template <py::object (*Entry)(py::handle, py::handle, py::handle)>
PyObject* fast_call(PyObject*, PyObject* const* args, Py_ssize_t count) {
  if (count != 3) {
    PyErr_SetString(PyExc_TypeError, "takes three arguments, a, out and n");
    return nullptr;
  }
  try {
    return Entry(args[0], args[1], args[2]).release().ptr();
  } catch (py::error_already_set& e) {
    e.restore();
  } catch (const py::builtin_exception& e) {
    e.set_error();
  } catch (const std::bad_alloc&) {
    PyErr_NoMemory();
  } catch (const std::exception& e) {
    PyErr_SetString(PyExc_RuntimeError, e.what());
  }
  return nullptr;
}

template <py::object (*Entry)(py::handle, py::handle, py::handle)>
PyMethodDef fast_method(const char* name) {
  return {name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&fast_call<Entry>)),
          METH_FASTCALL, nullptr};
}

PyMethodDef common_methods[] = {fast_method<fft_common<false>>("fft_common"),
                                fast_method<fft_common<true>>("ifft_common"),
                                fast_method<rfft_common>("rfft_common"),
                                fast_method<irfft_common>("irfft_common")};

// fftn or ifftn over the last `axes` axes of a, for every index of the
// others, into out when it is given: whole blocks to each thread when they split evenly between the
// workers, else the threads inside each block in turn.
py::object transform_blocks(const ComplexArray& a, std::size_t axes, bool inverse,
                            std::size_t workers, py::handle out) {
  const char* routine = inverse ? "ifftn" : "fftn";
  if (axes < 1 || axes > std::size_t(a.ndim()))
    throw py::value_error(std::string(routine) + ": no axis to transform");
  std::vector<std::size_t> shape;
  std::size_t block = 1;
  for (std::size_t d = std::size_t(a.ndim()) - axes; d < std::size_t(a.ndim()); ++d) {
    const std::size_t length = std::size_t(a.shape(py::ssize_t(d)));
    check_length(routine, length);
    shape.push_back(length);
    block *= length;
  }
  auto result = result_array<Complex>(out, shape_of(a), a.data(), end_of(a));
  const std::size_t blocks = std::size_t(a.size()) / block;
  const unsigned count = threads(workers, std::size_t(a.size()));
  const Complex* in = a.data();
  Complex* z = result.mutable_data();
  const auto transform = [&](std::size_t b, unsigned inside) {
    std::copy(in + b * block, in + (b + 1) * block, z + b * block);
    const std::span<Complex> values(z + b * block, block);
    inverse ? conv::ifftn(values, shape, inside) : conv::fftn(values, shape, inside);
  };
  {
    py::gil_scoped_release release;
    if (blocks % count == 0 || blocks >= 8 * std::size_t{count}) {
      const auto some = [&](std::size_t first, std::size_t last, std::size_t) {
        for (std::size_t b = first; b < last; ++b) transform(b, 1);
      };
      tamsel::detail::in_parts(blocks, count, some);
    } else {
      // The copy split between the threads too: for one large block it
      // takes as long as a pass, and its first touch of the new array's
      // pages as long again.
      for (std::size_t b = 0; b < blocks; ++b) {
        const auto copy = [&](std::size_t first, std::size_t last, std::size_t) {
          std::copy(in + b * block + first, in + b * block + last, z + b * block + first);
        };
        tamsel::detail::in_parts(block, count, copy);
        const std::span<Complex> values(z + b * block, block);
        inverse ? conv::ifftn(values, shape, count) : conv::fftn(values, shape, count);
      }
    }
  }
  return finish(std::move(result), out);
}

// The lengths of a's last `axes` axes, checked, and their product.
std::vector<std::size_t> last_axes(const py::array& a, std::size_t axes, const char* routine,
                                   std::size_t& block) {
  if (axes < 1 || axes > std::size_t(a.ndim()))
    throw py::value_error(std::string(routine) + ": no axis to transform");
  std::vector<std::size_t> shape;
  block = 1;
  for (std::size_t d = std::size_t(a.ndim()) - axes; d < std::size_t(a.ndim()); ++d) {
    shape.push_back(std::size_t(a.shape(py::ssize_t(d))));
    check_length(routine, shape.back());
    block *= shape.back();
  }
  return shape;
}

// Each of `blocks` blocks through one(b, threads inside it), without the
// GIL: whole blocks to each thread when they split evenly between the
// threads, else the threads inside each block in turn.
template <typename One>
void each_block(std::size_t blocks, unsigned count, const One& one) {
  py::gil_scoped_release release;
  if (blocks % count == 0 || blocks >= 8 * std::size_t{count}) {
    tamsel::detail::in_parts(blocks, count, [&](std::size_t first, std::size_t last, std::size_t) {
      for (std::size_t b = first; b < last; ++b) one(b, 1u);
    });
  } else {
    for (std::size_t b = 0; b < blocks; ++b) one(b, count);
  }
}

// rfftn over the last `axes` axes of a, for every index of the others,
// into out when it is given.
py::object rfftn_blocks(const RealArray& a, std::size_t axes, std::size_t workers,
                        py::handle out) {
  std::size_t block = 0;
  const auto shape = last_axes(a, axes, "rfftn", block);
  auto out_shape = shape_of(a);
  out_shape.back() = py::ssize_t(shape.back() / 2 + 1);
  auto result = result_array<Complex>(out, out_shape, a.data(), end_of(a));
  const std::size_t out_block = block / shape.back() * (shape.back() / 2 + 1);
  const std::size_t blocks = block == 0 ? 0 : std::size_t(a.size()) / block;
  const double* in = a.data();
  Complex* z = result.mutable_data();
  each_block(blocks, threads(workers, std::size_t(a.size())), [&](std::size_t b, unsigned n) {
    conv::rfftn({in + b * block, block}, {z + b * out_block, out_block}, shape, n);
  });
  return finish(std::move(result), out);
}

// irfftn over the last `axes` axes of a, the last of them holding
// n/2 + 1 values (the caller fits it), into n reals (in out when it is
// given).
py::object irfftn_blocks(const ComplexArray& a, std::size_t axes, std::size_t n,
                         std::size_t workers, py::handle out) {
  std::size_t block = 0;
  auto shape = last_axes(a, axes, "irfftn", block);
  check_length("irfftn", n);
  if (shape.back() != n / 2 + 1)
    throw py::value_error("irfftn: the last axis must hold n/2 + 1 values");
  const std::size_t in_block = block;
  block = block / shape.back() * n;
  shape.back() = n;
  auto out_shape = shape_of(a);
  out_shape.back() = py::ssize_t(n);
  auto result = result_array<double>(out, out_shape, a.data(), end_of(a));
  const std::size_t blocks = in_block == 0 ? 0 : std::size_t(a.size()) / in_block;
  const Complex* in = a.data();
  double* x = result.mutable_data();
  each_block(blocks, threads(workers, std::size_t(result.size())), [&](std::size_t b,
                                                                       unsigned t) {
    conv::irfftn({in + b * in_block, in_block}, {x + b * block, block}, shape, t);
  });
  return finish(std::move(result), out);
}

} // namespace

namespace tamsel_python {

void add_transforms(py::module_& m) {
  m.def("fft_rows", &transform_rows, py::arg("a"), py::arg("inverse"), py::arg("workers") = 1,
        py::arg("out") = py::none());
  m.def("rfft_rows", &rfft_rows, py::arg("a"), py::arg("workers") = 1,
        py::arg("out") = py::none());
  m.def("irfft_rows", &irfft_rows, py::arg("a"), py::arg("n"), py::arg("workers") = 1,
        py::arg("conjugate") = false, py::arg("out") = py::none());
  for (PyMethodDef& method : common_methods) {
    PyObject* function = PyCFunction_NewEx(&method, nullptr, m.attr("__name__").ptr());
    if (function == nullptr) throw py::error_already_set();
    m.add_object(method.ml_name, py::reinterpret_steal<py::object>(function));
  }
  m.def("fft_blocks", &transform_blocks, py::arg("a"), py::arg("axes"), py::arg("inverse"),
        py::arg("workers") = 1, py::arg("out") = py::none());
  m.def("rfftn_blocks", &rfftn_blocks, py::arg("a"), py::arg("axes"), py::arg("workers") = 1,
        py::arg("out") = py::none());
  m.def("irfftn_blocks", &irfftn_blocks, py::arg("a"), py::arg("axes"), py::arg("n"),
        py::arg("workers") = 1, py::arg("out") = py::none());
}

} // namespace tamsel_python
