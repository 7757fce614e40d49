# Top-level driver. `make run` builds in Release and runs sfsim on its embedded
# default; `make test` builds and runs every test through CTest.
BUILD      ?= build
ASAN_BUILD ?= build-asan
WIN_BUILD  ?= build-windows
JOBS       ?= 2
GEN        := -G Ninja

.PHONY: all deps configure build run test test-sanitize windows test-windows format format-check clean test-octave

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

test-sanitize: deps
	@cmake -S . -B $(ASAN_BUILD) $(GEN) -DCMAKE_BUILD_TYPE=Debug -DSF_SANITIZE=ON >/dev/null
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

format:
	@git ls-files '*.cpp' '*.hpp' '*.h' | xargs clang-format -i

format-check:
	@git ls-files '*.cpp' '*.hpp' '*.h' | xargs clang-format --dry-run -Werror

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(WIN_BUILD)


# Benchmarks: each chart's step beside its floor (the same host calls into a host
# that only returns), and callgrind's instructions per host call.
.PHONY: bench bench-count
bench: build
	./$(BUILD)/bin/bench_table

bench-count: build
	./bench/count.sh $(BUILD)
