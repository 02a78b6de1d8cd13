# Entry points: `make demo` builds and runs the main job, `make check` builds and runs every test.
# Both install their own dependencies first (scripts/bootstrap).
BUILD ?= build
ASAN_BUILD ?= build-asan
JOBS ?= 2
# Line tables only: enough for test failures, sanitizer reports and profiles, and a third less compile
# time than full debug information. Configure a build of your own for a debugger.
LINES_ONLY = -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O2 -g1 -DNDEBUG" -DCMAKE_CXX_FLAGS_DEBUG="-g1"
# Unity builds: eight files a compile, so the heavy headers (JSON, logging, GoogleTest, Qt) are parsed and
# their templates instantiated once a batch instead of once a file: a quarter less CPU time for CI.
UNITY = -DCMAKE_UNITY_BUILD=ON

.PHONY: bootstrap build demo check check-asan bench clean

bootstrap:
	@scripts/bootstrap

build: bootstrap
	cmake -S . -B $(BUILD) -G Ninja -DBRIVIO_WERROR=ON $(LINES_ONLY) $(UNITY)
	cmake --build $(BUILD) -j $(JOBS)

demo: build
	@scripts/demo $(BUILD)

check: build
	ctest --test-dir $(BUILD) --output-on-failure -j $(JOBS)

check-asan: bootstrap
	cmake -S . -B $(ASAN_BUILD) -G Ninja -DBRIVIO_WERROR=ON -DBRIVIO_SANITIZE=ON -DBRIVIO_BENCH=OFF -DBRIVIO_APP=OFF -DCMAKE_BUILD_TYPE=Debug $(LINES_ONLY) $(UNITY)
	cmake --build $(ASAN_BUILD) -j $(JOBS)
	ASAN_OPTIONS=detect_leaks=1 LSAN_OPTIONS=suppressions=$(CURDIR)/tests/lsan.supp UBSAN_OPTIONS=print_stacktrace=1 ctest --test-dir $(ASAN_BUILD) --output-on-failure -j $(JOBS)

bench: build
	@scripts/bench $(BUILD)

clean:
	rm -rf $(BUILD) $(ASAN_BUILD)
