// SPDX-License-Identifier: BSD-3-Clause
// What the run found about each sample, for the Python module.
#pragma once

#include <pybind11/pybind11.h>

#include "driver/curves.h"
#include "driver/state.h"

namespace tamsel::python {

// The warning bits of sample k (row k of the run state).
inline unsigned sample_warnings(const RunState& st, Integer k) {
  return window_ascends(matrix_at(st.agem, k, 0), matrix_at(st.xlgrm, k, 0)) ? 0u : 1u;
}

// The number of table records inside sample k's window; -1 when not known.
inline Integer window_records(const RunState&, Integer) { return -1; }

// The keys of the bits set in `bits`, in the order of the bits.
inline pybind11::tuple warning_keys(unsigned bits) {
  pybind11::list keys;
  if (bits & 1u) keys.append("window-not-ascending");
  return pybind11::tuple(keys);
}

} // namespace tamsel::python
