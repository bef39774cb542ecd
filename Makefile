# Thin wrapper over CMake.  `make run` builds tamsel and runs it on the
# bundled example; `make test` builds everything and runs the test suite.
BUILD ?= build
EXAMPLE ?= examples/smooth
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all build run test bench clean

all: build

build:
	cmake -S . -B $(BUILD) >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

run: build
	cd $(EXAMPLE) && ../../$(BUILD)/tamsel
	@cd $(EXAMPLE) && for f in *_cross.txt; do [ -s "$$f" ] && { echo "--- $(EXAMPLE)/$$f"; cat "$$f"; }; done; true

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# Benchmarks, in a build directory of their own (they need FFTW and
# hyperfine: apt-get install libfftw3-dev hyperfine).
BENCH_BUILD ?= build-bench
bench:
	cmake -S . -B $(BENCH_BUILD) -DTAMSEL_BENCH=ON -DBUILD_TESTING=OFF >/dev/null
	cmake --build $(BENCH_BUILD) -j $(JOBS) --target tamsel fft_bench bench_floor bench_floor_cxx
	$(BENCH_BUILD)/bench/fft_bench
	bench/whole_run.sh $(BENCH_BUILD)

clean:
	rm -rf $(BUILD) $(BENCH_BUILD)
