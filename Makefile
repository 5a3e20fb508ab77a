# SPDX-License-Identifier: GPL-3.0-or-later
# The two set-up commands are `make run` and `make test`; each installs what is missing first.
SHELL := /bin/bash
BUILD ?= build
ASAN_BUILD ?= build-asan
BENCH_BUILD ?= build-bench
FUZZ_BUILD ?= build-fuzz
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
PREFIX ?= /usr/local

.PHONY: all deps build run test test-main test-asan install package screenshots bench fuzz-smoke \
	format clean

all: build

deps:
	@scripts/install-deps.sh

build: deps
	cmake -S . -B $(BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS)
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@if [ -z "$$DISPLAY" ] && [ -z "$$WAYLAND_DISPLAY" ]; then \
	  echo "make run: no display; set DISPLAY (or use ../shared/tools/shot) to see the editor" >&2; exit 1; fi
	./$(BUILD)/settree --catalog examples/tessarocgams examples/regions.tree

test: deps test-main test-asan

test-main: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# Core and command-line tests again with AddressSanitizer and UndefinedBehaviorSanitizer.
test-asan: deps
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DSETTREE_SANITIZE=ON \
	  -DSETTREE_GUI=OFF $(CMAKE_FLAGS)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS) -L 'core|cli'

# The programs, desktop entry, icon, file types, manual pages and examples under $(PREFIX).
install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

# A Debian package of the same files under /usr: $(BUILD)/settree_<version>_<arch>.deb.
package: build
	cmake --build $(BUILD) --target package

# The README's pictures of the editor, made again in a virtual display.
screenshots: build
	scripts/screenshots.sh $(BUILD) doc

bench: deps
	cmake -S . -B $(BENCH_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=Release -DSETTREE_BENCH=ON \
	  -DSETTREE_TESTS=OFF $(CMAKE_FLAGS)
	cmake --build $(BENCH_BUILD) -j $(JOBS)
	bench/run.sh $(BENCH_BUILD)

fuzz-smoke: deps
	CXX=clang++ cmake -S . -B $(FUZZ_BUILD) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DSETTREE_FUZZ=ON -DSETTREE_GUI=OFF -DSETTREE_TESTS=OFF $(CMAKE_FLAGS)
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	fuzz/smoke.sh $(FUZZ_BUILD) $${FUZZ_SECONDS:-60}

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(BENCH_BUILD) $(FUZZ_BUILD)
