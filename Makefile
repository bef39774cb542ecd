# SPDX-License-Identifier: BSD-3-Clause
# Thin wrapper over CMake.  `make run` builds tamsel and tamsel-plot only,
# quietly (the compiler's warnings, if any, still show), runs tamsel on the
# bundled example, shows its report and results table, then draws the
# example's curves with tamsel-plot; `make test` builds everything and runs
# the test suite (it needs GoogleTest; the Python module's tests run when
# numpy, pybind11, pytest and scipy are installed); `make picture` redraws
# the example's picture in doc/;
# `make install` installs into CMAKE_INSTALL_PREFIX, or into PREFIX when it
# is given.  The tests labelled slow (transforms of 2^17 values and more)
# run in `make test` only; the checked builds leave them out.
BUILD ?= build
EXAMPLE ?= examples/smooth
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

SANITIZE_BUILD ?= build-sanitize
TSAN_BUILD ?= build-tsan
FUZZ_BUILD ?= $(SANITIZE_BUILD)
FUZZ_SECONDS ?= 10

.PHONY: all configure build programs run test install sanitize tsan fuzz repro arm bench picture clean

all: build

configure:
	@cmake -S . -B $(BUILD) >/dev/null

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# The build's progress and make's directory lines are left out; whatever
# else it prints (the compiler's warnings and errors) shows, and its exit
# status is kept.
QUIET_BUILD = awk '/^build status [0-9]+$$/ { exit $$3 } \
  !/^(g?make(\[[0-9]+\])?: (Entering|Leaving) directory|\[ *[0-9]+%\] |\[[0-9]+\/[0-9]+\] |Consolidate compiler generated dependencies|Scanning dependencies of target|ninja: no work to do)/'

programs: configure
	@{ cmake --build $(BUILD) -j $(JOBS) --target tamsel tamsel-plot 2>&1; echo "build status $$?"; } | $(QUIET_BUILD)

run: programs
	@cd $(EXAMPLE) && ../../$(BUILD)/tamsel --results results.tsv
	@cd $(EXAMPLE) && for f in *_cross.txt; do [ -s "$$f" ] && { echo "--- $(EXAMPLE)/$$f"; cat "$$f"; }; done; true
	@echo "--- $(EXAMPLE)/results.tsv" && cat $(EXAMPLE)/results.tsv
	@cd $(EXAMPLE) && ../../$(BUILD)/tamsel-plot >/dev/null
	@echo "--- curves of the example: $(CURDIR)/$(EXAMPLE)/tamsel_curves.svg"

# The tests need GoogleTest; without it the build has none to run.
test: configure
	@grep -q '^TAMSEL_HAVE_GTEST:INTERNAL=ON' $(BUILD)/CMakeCache.txt || { \
	  echo "make test: GoogleTest is not installed; install the Debian package libgtest-dev (apt-get install libgtest-dev) and run make test again" >&2; \
	  exit 1; }
	cmake --build $(BUILD) -j $(JOBS)
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)
	@grep -q '^TAMSEL_PYTHON_TESTS:INTERNAL=ON' $(BUILD)/CMakeCache.txt || \
	  echo "make test: the Python module was neither built nor tested; to include it install the Debian packages python3-dev python3-numpy pybind11-dev python3-pytest python3-scipy python3-pandas mypy and run make test again" >&2

install: build
	cmake --install $(BUILD) $(if $(PREFIX),--prefix $(PREFIX))

# The test suite but the slow tests, built with AddressSanitizer and
# UndefinedBehaviorSanitizer.  With clang and its sanitizer runtimes (it
# compiles the checked build in half GCC's time) the same build also holds
# the fuzz targets, which `make fuzz` then runs without building anything;
# otherwise GCC.
# The checked builds run each test program as two shards a processor and
# build no slow test.
CHECKED_TESTS = -DTAMSEL_TEST_SHARDS=$(shell expr 2 \* $(JOBS)) -DTAMSEL_SLOW_TESTS=OFF
CLANG_RUNTIMES = $(shell f="$$(clang++ -print-resource-dir 2>/dev/null)/lib/linux/libclang_rt.fuzzer-$$(uname -m).a"; \
  [ -f "$$f" ] && echo yes)
SANITIZE_CONFIG = $(if $(CLANG_RUNTIMES),-DCMAKE_CXX_COMPILER=clang++ -DTAMSEL_FUZZ=ON,-DTAMSEL_SANITIZE=ON)
sanitize:
	cmake -S . -B $(SANITIZE_BUILD) $(SANITIZE_CONFIG) $(CHECKED_TESTS) >/dev/null
	cmake --build $(SANITIZE_BUILD) -j $(JOBS)
	cd $(SANITIZE_BUILD) && ctest --output-on-failure -j $(JOBS) -LE slow

# The tests that call the toolkit from several threads (label threads),
# built with ThreadSanitizer (GCC or clang, as CXX says).
tsan:
	cmake -S . -B $(TSAN_BUILD) -DTAMSEL_TSAN=ON >/dev/null
	cmake --build $(TSAN_BUILD) -j $(JOBS) --target numeric_threads_tests
	cd $(TSAN_BUILD) && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -j $(JOBS) -L threads

# Every libFuzzer target of fuzz/ (needs clang; built in the checked build's
# directory): its corpus replayed, then FUZZ_SECONDS seconds of new inputs,
# JOBS targets at a time.
FUZZ_TARGETS = fuzz_number_reader fuzz_sample_list fuzz_tables fuzz_whole_run
fuzz:
	cmake -S . -B $(FUZZ_BUILD) -DCMAKE_CXX_COMPILER=clang++ -DTAMSEL_FUZZ=ON $(CHECKED_TESTS) >/dev/null
	cmake --build $(FUZZ_BUILD) -j $(JOBS) --target $(FUZZ_TARGETS)
	JOBS=$(JOBS) fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

# The same run's bits from several compilers and optimisation levels.
repro:
	.ci/repro.sh

# The suite on 64-bit ARM under qemu, and the same bits there (needs
# g++-aarch64-linux-gnu and qemu-user).
arm:
	.ci/arm.sh

# Benchmarks, in a build directory of their own (they need FFTW and
# hyperfine: apt-get install libfftw3-dev hyperfine); with the Python module
# at hand, also tamsel.fft against numpy.fft.fft.
BENCH_BUILD ?= build-bench
bench:
	cmake -S . -B $(BENCH_BUILD) -DTAMSEL_BENCH=ON -DBUILD_TESTING=OFF >/dev/null
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target tamsel fft_bench bench_floor bench_floor_cxx threads_bench
	$(BENCH_BUILD)/bench/fft_bench
	$(BENCH_BUILD)/bench/threads_bench
	bench/whole_run.sh $(BENCH_BUILD)
	@if grep -q '^TAMSEL_HAVE_PYTHON:INTERNAL=ON' $(BENCH_BUILD)/CMakeCache.txt; then \
	  cmake --build $(BENCH_BUILD) -j $(JOBS) --target _core && \
	  PYTHONPATH=$(BENCH_BUILD)/python $$(sed -n 's/^Python3_EXECUTABLE:FILEPATH=//p' $(BENCH_BUILD)/CMakeCache.txt) bench/python_fft.py && \
	  PYTHONPATH=$(BENCH_BUILD)/python $$(sed -n 's/^Python3_EXECUTABLE:FILEPATH=//p' $(BENCH_BUILD)/CMakeCache.txt) bench/python_runs.py && \
	  PYTHONPATH=$(BENCH_BUILD)/python $$(sed -n 's/^Python3_EXECUTABLE:FILEPATH=//p' $(BENCH_BUILD)/CMakeCache.txt) bench/python_accuracy.py && \
	  PYTHONPATH=$(BENCH_BUILD)/python $$(sed -n 's/^Python3_EXECUTABLE:FILEPATH=//p' $(BENCH_BUILD)/CMakeCache.txt) bench/python_threads.py; \
	else echo "make bench: tamsel.fft against numpy and run_many skipped: the Python module is not built (python3-numpy, pybind11-dev)"; fi

# The picture of the bundled example shown in the README, doc/tamsel_curves.png:
# drawn by tamsel-plot in a scratch copy of the example (it needs librsvg and
# cairo, Debian: apt-get install librsvg2-dev).  Not part of `make test`.
PICTURE ?= doc/tamsel_curves.png
picture:
	@cmake -S . -B $(BUILD) >/dev/null
	@{ cmake --build $(BUILD) -j $(JOBS) --target tamsel-plot 2>&1; echo "build status $$?"; } | $(QUIET_BUILD)
	@scratch=$$(mktemp -d) && \
	cp $(EXAMPLE)/samples.lst $(EXAMPLE)/corrspec.in $(EXAMPLE)/corrlog.in "$$scratch"/ && \
	(cd "$$scratch" && "$(CURDIR)/$(BUILD)/tamsel-plot" -o curves.png >/dev/null) && \
	cp "$$scratch"/curves.png $(PICTURE); \
	status=$$?; rm -rf "$$scratch"; exit $$status
	@echo "--- picture of the example: $(PICTURE)"

clean:
	rm -rf $(BUILD) $(SANITIZE_BUILD) $(TSAN_BUILD) $(FUZZ_BUILD) $(BENCH_BUILD) build-repro build-arm build-python
