#!/bin/sh
# SPDX-License-Identifier: BSD-3-Clause
# Installs the build tree into a temporary prefix and uses the installed
# toolkit from outside, with nothing but -I$prefix/include:
#   - consumer/ through find_package(tamsel), setting no C++ standard, and
#     through pkg-config; neither may receive a compile flag of ours;
#   - consumer/bits.cpp built with hostile flags (-O3 -march=native
#     -ffp-contract=fast -mfma, with g++ and with clang++ where present),
#     whose output must equal BITS, the same program built by the project;
#   - the library example of doc/library.md, taken from between its markers;
#   - a shared object linked with the archive.
# Usage: install_consumer.sh BUILD_DIR CONSUMER_SOURCE LIBRARY_DOC BITS CXX [CXXFLAGS]
# (LIBRARY_DOC: doc/library.md of the source tree, whose include/ is beside
# its folder)
# (CXXFLAGS: flags the installed library needs of every program linked with
# it, such as the sanitizer options it was compiled with).  In a cross build
# TAMSEL_EMULATOR names the command that runs the target's programs
# (qemu-aarch64 -L ...).
set -eu
build="$1"
source="$2"
library_doc="$3"
bits="$4"
cxx="$5"
cxxflags="${6:-}"
run=${TAMSEL_EMULATOR:-}
prefix=$(mktemp -d "${TMPDIR:-/tmp}/tamsel-install-XXXXXX")
trap 'rm -rf "$prefix"' EXIT
fail() { echo "install test: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix/usr" >/dev/null
for f in bin/tamsel bin/tamsel-plot share/man/man1/tamsel.1 share/man/man1/tamsel-plot.1 \
         include/tamsel/numeric.h include/tamsel/version.h include/tamsel/numeric/types.h; do
  [ -e "$prefix/usr/$f" ] || fail "not installed: $f"
done
# The installed headers are the source tree's include/ folder, file for file.
(cd "$(dirname "$library_doc")/../include" && find . -type f | sort) >"$prefix/headers.expected"
(cd "$prefix/usr/include" && find . -type f | sort) >"$prefix/headers.installed"
cmp -s "$prefix/headers.expected" "$prefix/headers.installed" ||
  fail "the installed headers differ from include/: $(diff "$prefix/headers.expected" "$prefix/headers.installed" | tr '\n' ' ')"
$run "$prefix/usr/bin/tamsel" --version
lib=$(dirname "$(find "$prefix/usr" -name libtamsel_numeric.a)")
inc="$prefix/usr/include"

# Every public header on its own, as the user includes it.
for h in "$inc"/tamsel/*.h "$inc"/tamsel/numeric/*.h; do
  printf '#include <%s>\n' "${h#"$inc"/}" |
    "$cxx" -std=c++20 -Wall -Wextra -Wpedantic -Werror -fsyntax-only -I"$inc" -x c++ - ||
    fail "${h#"$inc"/} does not compile alone"
done

echo "== find_package(tamsel)"
cmake -S "$source" -B "$prefix/consumer" -DCMAKE_CXX_COMPILER="$cxx" \
  -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_PREFIX_PATH="$prefix/usr" >/dev/null
cmake --build "$prefix/consumer" >/dev/null
flags_make="$prefix/consumer/CMakeFiles/consumer.dir/flags.make"
grep -qE -- '-std=(c|gnu)\+\+(20|2a)' "$flags_make" || fail "the consumer was not given C++20"
if grep -E -- '-ffp-contract|-fno-builtin|-mno-|-Wpedantic' "$flags_make"; then
  fail "a compile flag of the project reached the consumer"
fi
$run "$prefix/consumer/consumer"

echo "== pkg-config tamsel"
if command -v pkg-config >/dev/null 2>&1; then
  pc="$lib/pkgconfig"
  # shellcheck disable=SC2046
  cflags=$(echo $(PKG_CONFIG_PATH="$pc" pkg-config --cflags tamsel)) # blanks trimmed
  [ "$cflags" = "-I$inc" ] || fail "pkg-config --cflags gives '$cflags', not -I$inc"
  libs=$(PKG_CONFIG_PATH="$pc" pkg-config --libs tamsel)
  echo "$cflags $libs"
  # shellcheck disable=SC2086
  "$cxx" -std=c++20 $cxxflags "$source/main.cpp" $cflags $libs -o "$prefix/consumer-pc"
  $run "$prefix/consumer-pc"
else
  echo "pkg-config is not installed; skipped"
fi

# Hostile flags: everything that may change a floating-point result in the
# consumer's own code.  -mfma only where the processor has FMA.
# A cross build has no native processor to aim at and one compiler only.
hostile="-O3 -ffp-contract=fast"
compilers="$cxx"
if [ -z "$run" ]; then
  hostile="$hostile -march=native"
  grep -qw fma /proc/cpuinfo 2>/dev/null && hostile="$hostile -mfma"
  case "$cxxflags" in
    *-fsanitize*) ;; # the sanitizer runtimes of one compiler only
    *) command -v clang++ >/dev/null 2>&1 && compilers="$compilers clang++" ;;
  esac
fi
$run "$bits" >"$prefix/bits.expected"
for c in $compilers; do
  echo "== bits with $c $hostile"
  # shellcheck disable=SC2086
  "$c" -std=c++20 $hostile $cxxflags -I"$inc" "$source/bits.cpp" -L"$lib" -ltamsel_numeric \
    -o "$prefix/bits"
  $run "$prefix/bits" >"$prefix/bits.out"
  cmp "$prefix/bits.expected" "$prefix/bits.out" ||
    fail "with $c $hostile the toolkit's results differ from the project's bits"
  echo "$(grep -c '^[0-9a-f]\{16\}$' "$prefix/bits.out") results, every bit as expected"
done

echo "== library example of doc/library.md"
awk '/<!-- library example: begin -->/ { on = 1; next }
     /<!-- library example: end -->/ { on = 0 }
     on && !/^```/' "$library_doc" >"$prefix/example.cpp"
[ -s "$prefix/example.cpp" ] || fail "no library example between the markers of $library_doc"
# shellcheck disable=SC2086
"$cxx" -std=c++20 $cxxflags -I"$inc" "$prefix/example.cpp" -L"$lib" -ltamsel_numeric \
  -o "$prefix/example"
$run "$prefix/example" | tee "$prefix/example.out"
grep -qx 'lag 0: 2' "$prefix/example.out" || fail "the library example of $library_doc printed a wrong lag 0"

echo "== the archive in a shared object"
# A plugin or a Python module links the archive into a shared object, which
# needs position-independent code throughout (correl's per-thread state
# included).
printf '%s\n' '#include <tamsel/numeric.h>' \
  'extern "C" double lag0(const double* a, const double* b, double* work) {' \
  '  return tamsel::correl_zero_lag(a, b, 128, work);' '}' >"$prefix/plugin.cpp"
# shellcheck disable=SC2086
"$cxx" -std=c++20 -shared -fPIC $cxxflags -I"$inc" "$prefix/plugin.cpp" -L"$lib" \
  -ltamsel_numeric -o "$prefix/libplugin.so" || fail "the archive does not link into a shared object"
echo "libplugin.so links"
