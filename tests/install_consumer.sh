#!/bin/sh
# SPDX-License-Identifier: BSD-3-Clause
# Installs the build tree into a temporary prefix, then builds and runs a
# small consumer against it twice: through find_package(tamsel) and through
# pkg-config.  Usage: install_consumer.sh BUILD_DIR CONSUMER_SOURCE CXX [CXXFLAGS]
# (CXXFLAGS: the build's own CMAKE_CXX_FLAGS, such as sanitizer options the
# installed library was compiled with).  In a cross build TAMSEL_EMULATOR
# names the command that runs the target's programs (qemu-aarch64 -L ...).
set -eu
build="$1"
source="$2"
cxx="$3"
cxxflags="${4:-}"
run=${TAMSEL_EMULATOR:-}
prefix=$(mktemp -d "${TMPDIR:-/tmp}/tamsel-install-XXXXXX")
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix/usr" >/dev/null
for f in bin/tamsel bin/tamsel-plot share/man/man1/tamsel.1 share/man/man1/tamsel-plot.1 \
         include/tamsel/numeric/complex_fft.h include/tamsel/numeric/types.h; do
  [ -e "$prefix/usr/$f" ] || { echo "not installed: $f" >&2; exit 1; }
done
$run "$prefix/usr/bin/tamsel" --version

echo "== find_package(tamsel)"
cmake -S "$source" -B "$prefix/consumer" -DCMAKE_CXX_COMPILER="$cxx" \
  -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_PREFIX_PATH="$prefix/usr" >/dev/null
cmake --build "$prefix/consumer" >/dev/null
if ! grep -q -- '-ffp-contract=off' "$prefix/consumer/CMakeFiles/consumer.dir/flags.make"; then
  echo "the consumer did not get the floating-point flags" >&2
  exit 1
fi
$run "$prefix/consumer/consumer"

echo "== pkg-config tamsel"
if command -v pkg-config >/dev/null 2>&1; then
  pc=$(dirname "$(find "$prefix/usr" -name tamsel.pc)")
  flags=$(PKG_CONFIG_PATH="$pc" pkg-config --cflags --libs tamsel)
  echo "$flags"
  # shellcheck disable=SC2086
  "$cxx" -std=c++20 $cxxflags "$source/main.cpp" $flags -o "$prefix/consumer-pc"
  $run "$prefix/consumer-pc"
else
  echo "pkg-config is not installed; skipped"
fi
