# The two commands a new machine needs: `make run` and `make test`.
BUILD_DIR ?= build
GENERATOR ?= Ninja
JOBS ?= $(shell nproc)
# ON: every build of `make test` treats compiler warnings as errors (CI sets it).
WERROR ?= OFF
export CINVORA_WERROR := $(WERROR)

.PHONY: deps configure build run test clean demo package format format-check tidy

deps:
	@scripts/install-deps

$(BUILD_DIR)/build.ninja:
	@cmake -S . -B $(BUILD_DIR) -G $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCINVORA_WERROR=$(WERROR)

configure: deps $(BUILD_DIR)/build.ninja

build: configure
	@cmake --build $(BUILD_DIR) -j $(JOBS)

run: build
	@$(BUILD_DIR)/bin/cinvora $(ARGS)

test: build
	@scripts/run-tests $(BUILD_DIR)

# A Debian package of the build in $(BUILD_DIR) (cinvora_VERSION_ARCH.deb).
package: build
	@cd $(BUILD_DIR) && cpack -G DEB

# The code's layout is .clang-format's: format rewrites the sources, format-check says
# which differ (and fails) without touching them.
format: deps
	@scripts/format-check --fix

format-check: deps
	@scripts/format-check

# .clang-tidy's checks over the compiled sources (or FILES=...); not part of make test.
tidy: build
	@scripts/tidy $(BUILD_DIR) $(FILES)

demo: build
	@scripts/demo $(BUILD_DIR)

# The sanitizer trees beside the build tree are scripts/run-tests' own (make test).
clean:
	rm -rf $(BUILD_DIR) $(BUILD_DIR)-address $(BUILD_DIR)-thread
