# The two commands a new machine needs: `make run` and `make test`.
BUILD_DIR ?= build
GENERATOR ?= Ninja
JOBS ?= $(shell nproc)

.PHONY: deps configure build run test clean demo package

deps:
	@scripts/install-deps

$(BUILD_DIR)/build.ninja:
	@cmake -S . -B $(BUILD_DIR) -G $(GENERATOR) -DCMAKE_BUILD_TYPE=RelWithDebInfo

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

demo: build
	@scripts/demo $(BUILD_DIR)

# The sanitizer trees beside the build tree are scripts/run-tests' own (make test).
clean:
	rm -rf $(BUILD_DIR) $(BUILD_DIR)-address $(BUILD_DIR)-thread
