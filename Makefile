# Front door of the build: "make" builds everything (and the demo project), "make run"
# opens the demo project in Tolsvik, "make test" builds and runs every test, "make install"
# installs the programs.
BUILD ?= build
PREFIX ?= /usr/local
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=

.PHONY: all configure run test unit bench install sanitize clean format

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

format:
	git ls-files '*.cpp' '*.h' | xargs clang-format -i

clean:
	rm -rf $(BUILD) build-asan
