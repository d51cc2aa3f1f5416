# The two commands a user needs: `make run` and `make test`.
BUILD      ?= build
BUILD_TYPE ?= RelWithDebInfo
WERROR     ?= OFF
JOBS       ?= $(shell nproc)
CMAKE_ARGS ?=
# `make test` runs the suite under AddressSanitizer and UndefinedBehaviorSanitizer in a build of
# its own; SANITIZE=OFF runs it in BUILD as configured (RelWithDebInfo by default).
SANITIZE   ?= ON
# A unity build compiles several sources of a folder as one file: Qt's headers are read once for
# all of them, which takes about 40 % off a whole build. UNITY=OFF compiles each file on its own,
# quicker to rebuild after a change to one source.
UNITY      ?= ON
# `make run` puts its copy and the recipe file here, outside the build tree.
PREFIX     ?= $(HOME)/Kettlebox
# `make install` installs for the whole machine here (DESTDIR= is honoured).
INSTALL_PREFIX ?= /usr/local
# `make run`, `make test`, `make install` and `make package` share one build folder, so each
# source is compiled once whatever order they come in.
PKG_BUILD  ?= $(BUILD)
# PKG_REBUILD=no packs what PKG_BUILD already holds, building nothing.
PKG_REBUILD ?= yes
# What `make run` starts, and what an installation holds.
RUN_TARGETS := kettlebox kettlebox-db kettlebox-mdbread
PKG_TARGETS := $(RUN_TARGETS) kb_man kb_starter kb_changelog
# A compiler cache, where the machine has one, makes rebuilds in several checkouts cheap. It is
# looked for when cmake runs, after `deps` has installed it, not when this file is read.
LAUNCHER    = $$(command -v ccache >/dev/null && echo -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)

.PHONY: deps configure build run install package-build package test-package test check build-asan \
        test-asan bench format format-check clean

deps:
	@scripts/install-deps.sh

# Installing and packing never build the tests: they take what PKG_TARGETS built.
configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) -DKB_WERROR=$(WERROR) \
	  -DCMAKE_UNITY_BUILD=$(UNITY) -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON $(LAUNCHER) $(CMAKE_ARGS)

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# Builds only what it runs, never the tests.
run: configure
	cmake --build $(BUILD) -j $(JOBS) --target $(RUN_TARGETS)
	@scripts/run.sh $(BUILD)/bin "$(PREFIX)"

package-build:
	$(MAKE) configure BUILD=$(PKG_BUILD)
	cmake --build $(PKG_BUILD) -j $(JOBS) --target $(PKG_TARGETS)

install: package-build
	cmake --install $(PKG_BUILD) --prefix $(INSTALL_PREFIX)

package: $(if $(filter yes,$(PKG_REBUILD)),package-build)
	cd $(PKG_BUILD) && rm -f kettlebox_*.deb && cpack -G DEB
	dpkg-deb -I $(PKG_BUILD)/kettlebox_*.deb

# Installs the package into a fresh Debian 12 root and uses it there as a new user would.
test-package: package
	scripts/test-package.sh $(PKG_BUILD)/kettlebox_*.deb

# The sanitized build: a fault in memory or undefined behaviour fails the test that meets it.
ASAN_VARS := BUILD=build-asan BUILD_TYPE=Debug CMAKE_ARGS="-DKB_SANITIZE=ON"

test:
	$(MAKE) check $(if $(filter ON,$(SANITIZE)),$(ASAN_VARS))

# The suite in BUILD, as that build is configured.
check: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

# What `make test` builds before it runs the tests.
build-asan:
	$(MAKE) build $(ASAN_VARS)

test-asan:
	$(MAKE) test SANITIZE=ON

bench: deps
	cmake -S . -B build-bench -DCMAKE_BUILD_TYPE=Release -DKB_BENCH=ON -DCMAKE_UNITY_BUILD=$(UNITY)
	cmake --build build-bench -j $(JOBS) --target kb_bench kb_bench_history kb_bench_search kb_bench_exchange \
	  kb_bench_kitchen kb_bench_card
	build-bench/bin/kb_bench
	build-bench/bin/kb_bench_history
	build-bench/bin/kb_bench_search
	build-bench/bin/kb_bench_exchange
	build-bench/bin/kb_bench_kitchen
	build-bench/bin/kb_bench_card

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

format-check:
	git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

# Never removes a recipe file; see scripts/clean.sh.
clean:
	@scripts/clean.sh $(sort $(BUILD) build build-asan build-bench $(PKG_BUILD))
