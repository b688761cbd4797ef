# Short commands around CMake; every target first installs missing Debian packages.
BUILD ?= build
ASAN_BUILD ?= build-asan
FUZZ_BUILD ?= build-fuzz
FUZZ_SECONDS ?= 30
JOBS ?= $(shell nproc)
CMAKE_FLAGS := -G Ninja -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache
PKG_BUILD ?= build-pkg

.PHONY: deps build run test asan fuzz bench clean format-check
.PHONY: package demo screenshots photo-example sequence-example

deps:
	@scripts/install-deps.sh

$(BUILD)/build.ninja: | deps
	cmake -S . -B $(BUILD) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=RelWithDebInfo

build: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS)

run: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target vellora
	$(BUILD)/src/app/vellora

test: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

asan: deps
	cmake -S . -B $(ASAN_BUILD) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Debug -DVELLORA_SANITIZE=ON -DVELLORA_BENCH=OFF
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	# OpenCV's worker threads, still winding down when the leak check stops the
	# process at exit, can crash the checker itself: one thread is enough here.
	OPENCV_FOR_THREADS_NUM=1 ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

fuzz: deps
	cmake -S . -B $(FUZZ_BUILD) $(CMAKE_FLAGS) -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
	    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELLORA_FUZZ=ON -DVELLORA_BENCH=OFF -DVELLORA_TESTS=OFF
	cmake --build $(FUZZ_BUILD) -j $(JOBS)
	scripts/run-fuzzers.sh $(FUZZ_BUILD) $(FUZZ_SECONDS)

bench: deps
	cmake -S . -B build-bench $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Release
	cmake --build build-bench -j $(JOBS) --target benchmarks
	scripts/run-benchmarks.sh build-bench

# Fails when a C++ file differs from .clang-format.
format-check: deps
	scripts/check-format.sh

clean:
	rm -rf $(BUILD) $(ASAN_BUILD) $(FUZZ_BUILD) build-bench $(PKG_BUILD)

# The Debian package, built in Release without tests or benchmarks.
package: deps
	cmake -S . -B $(PKG_BUILD) $(CMAKE_FLAGS) -DCMAKE_BUILD_TYPE=Release -DVELLORA_TESTS=OFF -DVELLORA_BENCH=OFF
	cmake --build $(PKG_BUILD) -j $(JOBS)
	rm -f $(PKG_BUILD)/vellora_*.deb
	cd $(PKG_BUILD) && cpack -G DEB
	@echo "The package is $(PKG_BUILD)/$$(cd $(PKG_BUILD) && ls vellora_*.deb); install it with: sudo apt install ./$(PKG_BUILD)/$$(cd $(PKG_BUILD) && ls vellora_*.deb)"

# Renders the example project to an AVI video without the window.
demo: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target vellora-render
	scripts/demo.sh $(BUILD)/tools/vellora-render $(BUILD)/demo/faces.avi

# The example faces and a third one as one sequence, face 1 -> face 2 -> face 3, in
# build/demo/sequence.mp4.
sequence-example: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target vellora-render
	scripts/sequence-example.sh $(BUILD)/tools/vellora-render $(BUILD)/demo

# The examples made from Debian's sample photographs: two portraits paired by "Find pairs",
# two views of a motorcycle paired by "Match object".
photo-example: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target photo-example

# Takes the user guide's screenshots from the real program on a virtual X server.
screenshots: deps $(BUILD)/build.ninja
	cmake --build $(BUILD) -j $(JOBS) --target vellora
	scripts/screenshots.sh $(BUILD)/src/app/vellora docs
