# Tarvex build entry points. Build trees live under build/.
#   make run    Release build, then the main job on its built-in default
#   make test   sanitizer (ASan + UBSan) Debug build, then every test through CTest
#   make bench  Release build with benchmarks, then run them
#   make install  Release build, then the LV2 bundle into ~/.lv2 (or $LV2_PATH's first folder)

JOBS ?= $(shell nproc)
RELEASE := build/release
DEBUG := build/debug
BENCH := build/bench

.PHONY: all deps release debug run test bench clean format install

all: release

deps:
	@bash scripts/install-deps

release: deps
	cmake -S . -B $(RELEASE) -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARVEX_TESTS=OFF
	cmake --build $(RELEASE) -j $(JOBS)

debug: deps
	cmake -S . -B $(DEBUG) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARVEX_SANITIZE=ON
	cmake --build $(DEBUG) -j $(JOBS)

run: release
	@bash scripts/run-main $(RELEASE)

test: debug
	cd $(DEBUG) && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j $(JOBS)

bench:
	@bash scripts/install-deps --bench
	cmake -S . -B $(BENCH) -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARVEX_TESTS=OFF -DTARVEX_BENCH=ON
	cmake --build $(BENCH) -j $(JOBS)
	@bash scripts/run-bench $(BENCH)

install: release
	@bash scripts/install-lv2 $(RELEASE)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
