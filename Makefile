# The two commands: `make run` and `make test`. Each does its own set-up.
# `make bench` measures the viewer against a floor program and f3d (bench/).
BUILD_DIR ?= build
JOBS ?= $(shell nproc)
SANITIZE_DIR ?= build-asan
FUZZ_DIR ?= build-fuzz
FUZZ_SECONDS ?= 300
SOAK_SECONDS ?= 600
# clang with its sanitizer and libFuzzer runtimes; EGL for the texture fuzzer's context.
CLANG_DEPS = clang libclang-rt-dev libegl-dev libegl-mesa0

# Any sanitizer report fails the run: UBSan stops at its first report (the
# build adds -fno-sanitize-recover), ASan exits non-zero on an error or a
# leak. The suppressions name only leaks inside the libraries we use.
# llvmpipe draws without worker threads (LP_NUM_THREADS=0): the leak check
# stops every thread to scan it, and now and then crashed on Mesa's.
SANITIZER_ENV = LP_NUM_THREADS=0 ASAN_OPTIONS=halt_on_error=1:detect_leaks=1:abort_on_error=0 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/tests/sanitizer/lsan.supp:print_suppressions=0 \
	UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

.PHONY: all deps configure build run test test-sanitize fuzz soak bench format clean

all: build

deps:
	@bash scripts/install-deps

configure: deps
	@cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null

build: configure
	@cmake --build $(BUILD_DIR) -j$(JOBS)

run: build
	@bash scripts/run-viewer $(abspath $(BUILD_DIR))

test: build
	@bash scripts/with-display ctest --test-dir $(BUILD_DIR) --output-on-failure -j$(JOBS)

# Installs what only the benchmark needs; the test suite does without it.
bench: build
	@bash scripts/install-deps f3d gnuplot-nox
	@bash bench/run.sh $(abspath $(BUILD_DIR))

# The whole test suite again, built with clang, AddressSanitizer and UBSan.
test-sanitize: deps
	@bash scripts/install-deps $(CLANG_DEPS)
	@cmake -S . -B $(SANITIZE_DIR) -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
		-DVANTREL_SANITIZE=ON >/dev/null
	@cmake --build $(SANITIZE_DIR) -j$(JOBS)
	@$(SANITIZER_ENV) bash scripts/with-display ctest --test-dir $(SANITIZE_DIR) --output-on-failure -j$(JOBS)

# Each fuzzer for FUZZ_SECONDS; what they find stays in fuzz/corpus-found/.
fuzz: deps
	@bash scripts/install-deps $(CLANG_DEPS)
	@JOBS=$(JOBS) bash scripts/run-fuzzers $(FUZZ_DIR) $(FUZZ_SECONDS)

# The viewer under random input for SOAK_SECONDS, watching frames, errors and memory.
soak: build
	@SOAK_SECONDS=$(SOAK_SECONDS) VANTREL_BIN=$(abspath $(BUILD_DIR))/vantrel \
		bash scripts/with-display bash tests/soak/soak.sh

format:
	@clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	@rm -rf $(BUILD_DIR)
