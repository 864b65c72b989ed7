# The two commands that matter: `make run` and `make test`. Each one installs what
# is missing, configures and builds before it does its job.
BUILD_DIR ?= build
BUILD_TYPE ?= RelWithDebInfo
CMAKE_FLAGS ?=

.PHONY: all deps configure build run test bench install package clean lint lint-format format

all: build

deps:
	@bash scripts/install-deps.sh

# A build folder remembers what it was configured with. When BUILD_TYPE or CMAKE_FLAGS
# differ from that (or the folder is new), it is configured afresh, so that a flag left
# out now is not kept from an earlier run; ninja then rebuilds what the change touches.
configure_args = $(strip -G Ninja -DCMAKE_BUILD_TYPE=$(BUILD_TYPE) $(CMAKE_FLAGS))
configure_stamp = $(BUILD_DIR)/configured-with.txt

configured_with = $(if $(wildcard $(BUILD_DIR)/build.ninja),$(if $(wildcard $(configure_stamp)),$(strip $(file <$(configure_stamp)))))

configure: deps
ifneq ($(configured_with),$(configure_args))
	cmake --fresh -S . -B $(BUILD_DIR) $(configure_args)
	printf '%s\n' '$(subst ','\'',$(configure_args))' > $(configure_stamp)
endif

build: configure
	cmake --build $(BUILD_DIR)

run: build
	./$(BUILD_DIR)/orvel-file-rename

test: build
	ctest --test-dir $(BUILD_DIR) --output-on-failure --timeout 300

bench: build
	cmake --build $(BUILD_DIR) --target benchmarks
	@bash scripts/run-benchmarks.sh $(BUILD_DIR)

# Installs under CMake's prefix (/usr/local unless PREFIX=... says otherwise); a
# system-wide install needs root: `sudo make install`.
install: build
	cmake --install $(BUILD_DIR) $(if $(PREFIX),--prefix $(PREFIX))

# The Debian package, written into $(BUILD_DIR). When lintian is installed it looks
# the package over; what it finds is printed, never fatal.
package: build
	cd $(BUILD_DIR) && cpack -G DEB
	@deb=$$(ls -t $(BUILD_DIR)/orvel-file-rename_*.deb | head -n1); \
	if command -v lintian >/dev/null; then \
	  echo "lintian $$deb:"; lintian "$$deb" || true; \
	else \
	  echo "lintian is not installed: $$deb was not checked"; \
	fi

# The style (.clang-format) and the static checks (.clang-tidy: bugprone, performance)
# over every source of the project. `make format` puts the style right in place.
sources = $(shell git ls-files '*.cpp' '*.h')

lint-format:
	@bash scripts/install-deps.sh lint
	clang-format --dry-run --Werror $(sources)

lint: lint-format build
	run-clang-tidy -quiet -p $(BUILD_DIR) -j $$(nproc) $(addprefix $(CURDIR)/,$(filter %.cpp,$(sources)))

format:
	@bash scripts/install-deps.sh lint
	clang-format -i $(sources)

clean:
	rm -rf $(BUILD_DIR)
