// SPDX-License-Identifier: BSD-3-Clause
// Processors without vector kernels of their own: the portable table is
// the widest.  The build compiles this unit in place of x86/native.cpp.
#include "kernels.h"

namespace tamsel::kernels::detail {

Kernel detect() { return Kernel::portable; }

const Table& table(Kernel) { return portable::table; }

} // namespace tamsel::kernels::detail
