// SPDX-License-Identifier: BSD-3-Clause
// The version of tamsel, its programs and its toolkit: the one place it is
// written.  The build reads the three numbers from here.
#pragma once

#define TAMSEL_VERSION_MAJOR 1
#define TAMSEL_VERSION_MINOR 0
#define TAMSEL_VERSION_PATCH 0

#define TAMSEL_VERSION_TEXT_(x) #x
#define TAMSEL_VERSION_TEXT(x) TAMSEL_VERSION_TEXT_(x)
// "MAJOR.MINOR", as the run's banner shows it
#define TAMSEL_VERSION_SHORT                                                                    \
  TAMSEL_VERSION_TEXT(TAMSEL_VERSION_MAJOR) "." TAMSEL_VERSION_TEXT(TAMSEL_VERSION_MINOR)
// "MAJOR.MINOR.PATCH"
#define TAMSEL_VERSION_STRING TAMSEL_VERSION_SHORT "." TAMSEL_VERSION_TEXT(TAMSEL_VERSION_PATCH)
