# Top-level driver. `make run` builds in Release and runs sfsim on its embedded
# default; `make test` builds and runs every test through CTest.
BUILD      ?= build
ASAN_BUILD ?= build-asan
WIN_BUILD  ?= build-windows
JOBS       ?= 2
GEN         = -G Ninja
# A compiler cache outside the checkout, shared by every build folder and every
# clone on this machine (paths below the checkout are hashed relative to it). Looked
# up when a recipe runs, after deps has installed it; no launcher when it is absent.
CCACHE      = $(shell command -v ccache 2>/dev/null)
GEN        += -DCMAKE_C_COMPILER_LAUNCHER=$(CCACHE) -DCMAKE_CXX_COMPILER_LAUNCHER=$(CCACHE)
export CCACHE_BASEDIR := $(CURDIR)
export CCACHE_DIR ?= $(HOME)/.cache/sf-ccache
export CCACHE_MAXSIZE ?= 5G

.PHONY: all deps configure build run test test-sanitize windows test-windows format format-check clean test-octave \
        install package test-package

all: build

deps:
	@./tools/install-deps.sh

configure: deps
	@cmake -S . -B $(BUILD) $(GEN) -DCMAKE_BUILD_TYPE=Release >/dev/null

build: configure
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	./$(BUILD)/bin/sfsim

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

# The plug-ins inside GNU Octave, sfblock, and sfsim's MAT-files (also part of `test`).
test-octave: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS) -L 'octave|matfile'

# The sanitizer build keeps its assertions (Debug) but is optimised a little: at
# -O0 the instrumented tests take about three times as long, and the checks lose
# nothing at -O1 (frame pointers stay).
ASAN_OPT ?= -g -O1
test-sanitize: deps
	@cmake -S . -B $(ASAN_BUILD) $(GEN) -DCMAKE_BUILD_TYPE=Debug -DSF_SANITIZE=ON \
	  -DCMAKE_C_FLAGS_DEBUG="$(ASAN_OPT)" -DCMAKE_CXX_FLAGS_DEBUG="$(ASAN_OPT)" >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

# The 64-bit Windows deliverables, host DLLs, engine, sfsim.exe and tests, cross-built
# with MinGW-w64; test-windows runs them under Wine and compares sfsim.exe's files
# with the native sfsim's.
windows:
	@./tools/install-deps.sh windows
	@cmake -S . -B $(WIN_BUILD) $(GEN) -DCMAKE_BUILD_TYPE=Release \
	  -DCMAKE_TOOLCHAIN_FILE=$(CURDIR)/cmake/mingw-w64-x86_64.cmake \
	  -DSF_NATIVE_BUILD=$(abspath $(BUILD)) >/dev/null
	@cmake --build $(WIN_BUILD) -j $(JOBS)

test-windows: build windows
	ctest --test-dir $(WIN_BUILD) --output-on-failure -j $(JOBS)

# The release. `make install PREFIX=DIR` installs the native build into DIR (bin/,
# lib/, octave/, share/doc/sfsim/; stripped, the debug information kept in
# $(BUILD)/debug). `make package` leaves exactly two files in dist/, the Linux
# .tar.gz and the Windows .zip; `make test-package` unpacks and runs each as a user
# would (the zip under Wine in a fresh prefix).
PREFIX ?= /usr/local
DIST   ?= dist

install: build
	cmake --install $(BUILD) --prefix $(abspath $(PREFIX))

package: build windows
	@cmake -DBUILDS="$(abspath $(BUILD));$(abspath $(WIN_BUILD))" -DDIST=$(abspath $(DIST)) \
	  -P cmake/package.cmake

test-package: package
	@./tools/install-deps.sh windows package
	./tests/package/package_test.sh $(abspath $(DIST)) $(abspath $(BUILD)) $(abspath $(WIN_BUILD))

format:
	@git ls-files '*.cpp' '*.hpp' '*.h' | xargs clang-format -i

format-check:
	@git ls-files '*.cpp' '*.hpp' '*.h' | xargs clang-format --dry-run -Werror

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(WIN_BUILD) $(DIST)


# Benchmarks: each chart's step beside its floor (the same host calls into a host
# that only returns), and callgrind's instructions per host call.
.PHONY: bench bench-count
bench: build
	@./$(BUILD)/bin/bench_table

bench-count: build
	@./bench/count.sh $(BUILD)

# Fuzzing (libFuzzer, clang with ASan and UBSan) and memcheck. Linux only; each
# installs what it needs (tools/install-deps.sh fuzz | valgrind).
FUZZ_BUILD    ?= build-fuzz
FUZZ_SECONDS  ?= 60
VALGRIND_BUILD ?= $(BUILD)

.PHONY: fuzz test-valgrind

fuzz:
	@./tools/install-deps.sh fuzz
	@CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) $(GEN) -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DSF_SANITIZE=ON -DSF_FUZZ=ON -DSF_BUILD_TESTS=OFF -DSF_BUILD_BENCH=OFF >/dev/null
	@cmake --build $(FUZZ_BUILD) -j $(JOBS) --target fuzz_targets
	./tests/fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS) $(JOBS)

test-valgrind: build
	@./tools/install-deps.sh valgrind
	./tests/valgrind/run.sh $(VALGRIND_BUILD)
