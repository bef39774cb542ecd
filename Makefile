# SPDX-License-Identifier: BSD-3-Clause
# Thin wrapper over CMake.  `make run` builds tamsel and tamsel-plot only,
# runs tamsel on the bundled example, then draws the example's curves with
# tamsel-plot; `make test` builds everything and runs the test suite (it
# needs GoogleTest); `make picture` redraws the example's picture in doc/;
# `make install` installs into CMAKE_INSTALL_PREFIX, or into PREFIX when it
# is given.  The tests labelled slow (transforms of 2^17 values and more)
# run in `make test` only; the checked builds leave them out.
BUILD ?= build
EXAMPLE ?= examples/smooth
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

SANITIZE_BUILD ?= build-sanitize
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 10

.PHONY: all configure build programs run test install sanitize tsan fuzz repro arm bench picture clean

all: build

configure:
	cmake -S . -B $(BUILD) >/dev/null

build: configure
	cmake --build $(BUILD) -j $(JOBS)

programs: configure
	cmake --build $(BUILD) -j $(JOBS) --target tamsel tamsel-plot

run: programs
	cd $(EXAMPLE) && ../../$(BUILD)/tamsel
	@cd $(EXAMPLE) && for f in *_cross.txt; do [ -s "$$f" ] && { echo "--- $(EXAMPLE)/$$f"; cat "$$f"; }; done; true
	cd $(EXAMPLE) && ../../$(BUILD)/tamsel-plot
	@echo "--- curves of the example: $(CURDIR)/$(EXAMPLE)/tamsel_curves.svg"

# The tests need GoogleTest; without it the build has none to run.
test: configure
	@grep -q '^TAMSEL_HAVE_GTEST:INTERNAL=ON' $(BUILD)/CMakeCache.txt || { \
	  echo "make test: GoogleTest is not installed; install the Debian package libgtest-dev (apt-get install libgtest-dev) and run make test again" >&2; \
	  exit 1; }
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

install: build
	cmake --install $(BUILD) $(if $(PREFIX),--prefix $(PREFIX))

# The test suite but the slow tests, built with AddressSanitizer and
# UndefinedBehaviorSanitizer.
sanitize:
	cmake -S . -B $(SANITIZE_BUILD) -DTAMSEL_SANITIZE=ON >/dev/null
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	cd $(SANITIZE_BUILD) && ctest --output-on-failure -j $(JOBS) -LE slow

# The tests that call the toolkit from several threads (label threads),
# built with ThreadSanitizer (GCC or clang, as CXX says).
tsan:
	cmake -S . -B $(TSAN_BUILD) -DTAMSEL_TSAN=ON >/dev/null
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target numeric_threads_tests
	cd $(TSAN_BUILD) && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j $(JOBS) -L threads

# Every libFuzzer target of fuzz/ (needs clang): its corpus replayed, then
# FUZZ_SECONDS seconds of new inputs.
fuzz:
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DTAMSEL_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

# The same run's bits from several compilers and optimisation levels.
repro:
	.ci/repro.sh

# The suite on 64-bit ARM under qemu, and the same bits there (needs
# g++-aarch64-linux-gnu and qemu-user).
arm:
	.ci/arm.sh

# Benchmarks, in a build directory of their own (they need FFTW and
# hyperfine: apt-get install libfftw3-dev hyperfine).
BENCH_BUILD ?= build-bench
bench:
	cmake -S . -B $(BENCH_BUILD) -DTAMSEL_BENCH=ON -DBUILD_TESTING=OFF >/dev/null
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target tamsel fft_bench bench_floor bench_floor_cxx
	$(BENCH_BUILD)/bench/fft_bench
	bench/whole_run.sh $(BENCH_BUILD)

# The picture of the bundled example shown in the README, doc/tamsel_curves.png:
# drawn in a scratch copy of the example and turned into a PNG with
# rsvg-convert (Debian: apt-get install librsvg2-bin).  Not part of `make test`.
PICTURE ?= doc/tamsel_curves.png
picture:
	cmake -S . -B $(BUILD) >/dev/null
	cmake --build $(BUILD) -j $(JOBS) --target tamsel-plot
	@scratch=$$(mktemp -d) && \
	cp $(EXAMPLE)/samples.lst $(EXAMPLE)/corrspec.in $(EXAMPLE)/corrlog.in "$$scratch"/ && \
	(cd "$$scratch" && "$(CURDIR)/$(BUILD)/tamsel-plot" >/dev/null) && \
	rsvg-convert -o $(PICTURE) "$$scratch"/tamsel_curves.svg; \
	status=$$?; rm -rf "$$scratch"; exit $$status
	@echo "--- picture of the example: $(PICTURE)"

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD) $(BENCH_BUILD) build-repro build-arm
