# Front door of the build: "make" builds everything (and the demo project), "make run"
# opens the demo project in Tolsvik, "make test" builds and runs every test, "make install"
# installs the programs, "make fuzz" runs the fuzzing harnesses (clang) for FUZZ_TIME
# seconds each.
BUILD ?= build
PREFIX ?= /usr/local
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
FUZZ_BUILD ?= build-fuzz
FUZZ_TIME ?= 60

.PHONY: all configure run test unit bench install sanitize fuzz clean format

all: configure
	cmake --build $(BUILD) -j $(JOBS)

configure:
	@test -f $(BUILD)/CMakeCache.txt || cmake -S . -B $(BUILD) -DCMAKE_INSTALL_PREFIX=$(PREFIX) $(CMAKE_FLAGS)

run: all
	scripts/run-demo $(BUILD)

test: all
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

unit: all
	cd $(BUILD) && ctest --output-on-failure -L unit -j $(JOBS)

bench: all
	$(BUILD)/bin/bench_mapfile
	$(BUILD)/bin/bench_display
	[ ! -x $(BUILD)/bin/bench_spline ] || $(BUILD)/bin/bench_spline

install: all
	cmake --install $(BUILD) --prefix $(PREFIX)

sanitize:
	$(MAKE) test BUILD=build-asan CMAKE_FLAGS="-DTOLSVIK_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug"

# The harnesses of fuzz/ built by clang with libFuzzer and the sanitizers in their own
# folder, then each run for FUZZ_TIME seconds from the seeds fuzz/make_seeds.py writes.
fuzz:
	@scripts/fuzz available || { echo "make fuzz needs clang with libFuzzer: scripts/install-deps fuzz"; exit 1; }
	@test -f $(FUZZ_BUILD)/CMakeCache.txt || CC=clang CXX=clang++ cmake -S . -B $(FUZZ_BUILD) \
	  -DTOLSVIK_FUZZ=ON -DTOLSVIK_TESTS=OFF -DTOLSVIK_BENCH=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(FUZZ_BUILD) --target fuzzers -j $(JOBS)
	scripts/fuzz run $(FUZZ_BUILD) $(FUZZ_TIME)

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) build-asan $(FUZZ_BUILD)
