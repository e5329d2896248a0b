# Two commands for a new machine: `make run` and `make test`.
BUILD    ?= build
ASAN_DIR ?= build-asan
JOBS     ?= 2
DEB_DIR  ?= build-deb
PREFIX   ?= /usr/local
SUDO     := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

# Debian 12 packages the build, the tests and the benchmarks need. The install tests check
# the desktop entry (desktop-file-utils), build a MIME database (shared-mime-info) and ask it
# for each sample's type as file managers do (gio, in libglib2.0-bin); libpng runs beside the
# PNG reader in the benchmarks; libsquish checks the block decoders in the tests; libwebp
# decodes WebP and libzstd KTX2's supercompressed levels; `make deb` lets dpkg-shlibdeps
# (dpkg-dev) find the package's dependencies.
PACKAGES := g++ cmake make pkg-config qt6-base-dev libgl-dev zlib1g-dev \
            libjpeg62-turbo-dev libdeflate-dev libwebp-dev libzstd-dev libopenexr-dev libtiff-dev libpng-dev \
            libsquish-dev libgtest-dev libgmock-dev libbenchmark-dev libstb-dev \
            desktop-file-utils shared-mime-info libglib2.0-bin dpkg-dev

.PHONY: all deps configure build run test asan bench fuzz install deb clean

all: build

deps:
	@missing=""; for p in $(PACKAGES); do \
	  dpkg-query -W -f='$${Status}' $$p 2>/dev/null | grep -q "install ok installed" || missing="$$missing $$p"; \
	done; \
	if [ -n "$$missing" ]; then \
	  echo "Installing:$$missing"; \
	  $(SUDO) apt-get update && DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y --no-install-recommends $$missing; \
	fi

configure: deps
	@[ -f $(BUILD)/CMakeCache.txt ] || cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: configure
	cmake --build $(BUILD) -j$(JOBS)

run: build
	$(BUILD)/src/shell/vumo data/samples/bricks_rle.tga

test: build
	cd $(BUILD) && QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j$(JOBS)

asan: deps
	@[ -f $(ASAN_DIR)/CMakeCache.txt ] || cmake -S . -B $(ASAN_DIR) -DCMAKE_BUILD_TYPE=Debug -DVUMO_SANITIZE=ON -DVUMO_BENCH=OFF
	cmake --build $(ASAN_DIR) -j$(JOBS)
	cd $(ASAN_DIR) && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tools/lsan.supp UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
	  ctest --output-on-failure -j$(JOBS)

# `make install PREFIX=/usr DESTDIR=/tmp/stage`: the programs and their desktop files.
install: configure
	cmake --build $(BUILD) -j$(JOBS) --target vumo vumo-convert vumo_desktop_files
	DESTDIR="$(DESTDIR)" cmake --install $(BUILD) --prefix $(PREFIX)

# A release build of the programs alone, packaged as build-deb/vumo_VERSION_ARCH.deb.
deb: deps
	@[ -f $(DEB_DIR)/CMakeCache.txt ] || cmake -S . -B $(DEB_DIR) -DCMAKE_BUILD_TYPE=Release -DVUMO_TESTS=OFF -DVUMO_BENCH=OFF
	cmake --build $(DEB_DIR) -j$(JOBS) --target vumo vumo-convert vumo_desktop_files
	cd $(DEB_DIR) && cpack -G DEB

bench: build
	$(BUILD)/bench/vumo_bench

clean:
	rm -rf $(BUILD) $(ASAN_DIR) $(DEB_DIR)
