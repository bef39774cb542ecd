# Thin wrapper over CMake.  `make run` builds tamsel and runs it on the
# bundled example, then draws the example's curves with tamsel-plot;
# `make test` builds everything and runs the test suite; `make install`
# installs into CMAKE_INSTALL_PREFIX, or into PREFIX when it is given.
BUILD ?= build
EXAMPLE ?= examples/smooth
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

.PHONY: all build run test install clean

all: build

build:
	cmake -S . -B $(BUILD) >/dev/null
	cmake --build $(BUILD) -j $(JOBS)

run: build
	cd $(EXAMPLE) && ../../$(BUILD)/tamsel
	@cd $(EXAMPLE) && for f in *_cross.txt; do [ -s "$$f" ] && { echo "--- $(EXAMPLE)/$$f"; cat "$$f"; }; done; true
	cd $(EXAMPLE) && ../../$(BUILD)/tamsel-plot
	@echo "--- curves of the example: $(CURDIR)/$(EXAMPLE)/tamsel_curves.svg"

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

install: build
	cmake --install $(BUILD) $(if $(PREFIX),--prefix $(PREFIX))

clean:
	rm -rf $(BUILD)
