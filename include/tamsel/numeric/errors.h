// SPDX-License-Identifier: BSD-3-Clause
// The toolkit's refusals.
//
// A routine given an argument it does not take returns no result: it
// throws one of the two types below, standard exceptions both, whose
// what() is a one-line message, without a line end, that names the routine
// and what it refused (for instance "four1: length 12 is not a power of
// two").  Each routine's header says what it refuses, with which type and
// message, and what it has written by then.  The conventional layer
// (<tamsel/numeric/conventional.h>) throws std::invalid_argument of its
// own.  Memory the toolkit cannot have is std::bad_alloc.
//
// The types keep no state but their message and may be used from any
// thread.
#pragma once

#include <stdexcept>

namespace tamsel {

// An argument outside what the routine takes: a length that is not a power
// of two or above the largest, a number of nodes or terms out of range.
class InvalidArgument : public std::invalid_argument {
public:
  using std::invalid_argument::invalid_argument;
  ~InvalidArgument() override;
};

// A point outside the interval of a Chebyshev series (chebev's range test).
class DomainError : public std::domain_error {
public:
  using std::domain_error::domain_error;
  ~DomainError() override;
};

} // namespace tamsel
