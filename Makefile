# The two commands: `make run` and `make test`. Each does its own set-up.
BUILD_DIR ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps configure build run test format clean

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

format:
	@clang-format -i $$(git ls-files '*.cpp' '*.h')

clean:
	@rm -rf $(BUILD_DIR)
