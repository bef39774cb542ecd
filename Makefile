# Thin wrapper over CMake.  `make run` builds tamsel and runs it on the
# bundled example; `make test` builds everything and runs the test suite.
BUILD ?= build
EXAMPLE ?= examples/smooth
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all build run test clean

all: build

build:
	cmake -S . -B $(BUILD) >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

run: build
	cd $(EXAMPLE) && ../../$(BUILD)/tamsel
	@cd $(EXAMPLE) && for f in *_cross.txt; do [ -s "$$f" ] && { echo "--- $(EXAMPLE)/$$f"; cat "$$f"; }; done; true

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

clean:
	rm -rf $(BUILD)
