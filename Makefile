# Tarvex build entry points. Build trees live under build/.
#   make run    Release build, then the main job on its built-in default
#   make test   sanitizer (ASan + UBSan) Debug build, then every test through CTest
#   make bench  Release build with benchmarks, then run them
#   make memcheck  plain (no sanitizer) tree, the in-process VST host tests under valgrind
#   make fuzz   clang libFuzzer tree, every fuzz target for FUZZ_SECONDS each
#   make tsan   ThreadSanitizer tree, the three-thread stress test for STRESS_SECONDS
#   make soak   plain tree, the soak run for SOAK_SECONDS (not part of CI)
#   make install  Release build, then every built plug-in where hosts look for it
#   make headless  sanitizer Debug tree without the editor (TARVEX_EDITOR=OFF): the DSP library,
#               tarvex-render and the DSP's tests

JOBS ?= $(shell nproc)
RELEASE := build/release
DEBUG := build/debug
BENCH := build/bench
PLAIN := build/plain
FUZZ := build/fuzz
TSAN := build/tsan
HEADLESS := build/headless
FUZZ_SECONDS ?= 300
STRESS_SECONDS ?= 30
SOAK_SECONDS ?= 600
VALGRIND := valgrind -q --error-exitcode=99 --leak-check=full \
  --errors-for-leak-kinds=definite,indirect --show-leak-kinds=definite,indirect

.PHONY: all deps release debug run test bench plain memcheck fuzz tsan soak clean format install \
  headless

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

headless: deps
	cmake -S . -B $(HEADLESS) -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTARVEX_SANITIZE=ON -DTARVEX_EDITOR=OFF
	cmake --build $(HEADLESS) -j $(JOBS)
	cd $(HEADLESS) && ASAN_OPTIONS=detect_leaks=1 ctest --output-on-failure -j $(JOBS)

bench:
	@bash scripts/install-deps --bench
	cmake -S . -B $(BENCH) -G Ninja -DCMAKE_BUILD_TYPE=Release -DTARVEX_TESTS=OFF -DTARVEX_BENCH=ON
	cmake --build $(BENCH) -j $(JOBS)
	@bash scripts/run-bench $(BENCH)

plain: deps
	cmake -S . -B $(PLAIN) -G Ninja -DCMAKE_BUILD_TYPE=Release
	cmake --build $(PLAIN) -j $(JOBS) --target vst_bundle_tests vst_soak

memcheck: plain
	cd $(PLAIN) && $(VALGRIND) tests/vst/vst_bundle_tests

fuzz: deps
	CC=clang CXX=clang++ cmake -S . -B $(FUZZ) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
	  -DTARVEX_TESTS=OFF -DTARVEX_FUZZ=ON
	cmake --build $(FUZZ) -j $(JOBS) --target fuzzers
	@bash scripts/run-fuzz $(FUZZ) $(FUZZ_SECONDS)

tsan: deps
	cmake -S . -B $(TSAN) -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARVEX_TSAN=ON
	cmake --build $(TSAN) -j $(JOBS) --target vst_thread_tests
	cd $(TSAN) && TSAN_OPTIONS="halt_on_error=1 exitcode=66" \
	  TARVEX_STRESS_SECONDS=$(STRESS_SECONDS) tests/vst/vst_thread_tests

soak: plain
	cd $(PLAIN) && TARVEX_SOAK_SECONDS=$(SOAK_SECONDS) tests/vst/vst_soak

install: release
	@bash scripts/install-plugins $(RELEASE)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf build
