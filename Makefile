# The two commands a user needs: `make run` and `make test`.
BUILD      ?= build
BUILD_TYPE ?= RelWithDebInfo
WERROR     ?= OFF
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=
# A compiler cache, where the machine has one, makes rebuilds in several checkouts cheap.
LAUNCHER   := $(if $(shell command -v ccache),-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

.PHONY: deps configure build run test test-asan bench format format-check clean

deps:
	@scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DKB_WERROR=$(WERROR) $(LAUNCHER) $(CMAKE_ARGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

run: build
	@scripts/run.sh $(BUILD)/bin

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

test-asan:
	$(MAKE) test BUILD=build-asan BUILD_TYPE=Debug CMAKE_ARGS="-DKB_SANITIZE=ON"

bench: deps
	cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DKB_BENCH=ON
	cmake --build build-bench -j $(JOBS) --target kb_bench kb_bench_search
	build-bench/bin/kb_bench
	build-bench/bin/kb_bench_search

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

format-check:
	git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

clean:
	rm -rf build build-asan build-bench
