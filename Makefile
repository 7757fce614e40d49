# Top-level driver. `make run` builds in Release and runs sfsim on its embedded
# default; `make test` builds and runs every test through CTest.
BUILD      ?= build
ASAN_BUILD ?= build-asan
JOBS       ?= 2
GEN        := -G Ninja

.PHONY: all deps configure build run test test-sanitize format format-check clean

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

test-sanitize: deps
	@cmake -S . -B $(ASAN_BUILD) $(GEN) -DCMAKE_BUILD_TYPE=Debug -DSF_SANITIZE=ON >/dev/null
	@cmake --build $(ASAN_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

format:
	@git ls-files '*.cpp' '*.hpp' '*.h' | xargs clang-format -i

format-check:
	@git ls-files '*.cpp' '*.hpp' '*.h' | xargs clang-format --dry-run -Werror

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)

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
	./tests/fuzz/run.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

test-valgrind: build
	@./tools/install-deps.sh valgrind
	./tests/valgrind/run.sh $(VALGRIND_BUILD)
