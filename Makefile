# make run   - install what is missing, build, make data/ and start the client
# make test  - install what is missing, build and run every test (under Xvfb without a display)
# make bench - build and run the benchmarks
# make fuzz  - fuzz the server's and the client's message handling, a minute each (libFuzzer)
# make install - build and install under PREFIX (default /usr/local; DESTDIR stages it)
# make package - build a Debian package (in the build directory) from the same install rules
# make screenshots - make the README's pictures (docs/screenshots) from the real client under Xvfb
# make hostile - the client's frame gaps and memory against misbehaving servers
BUILD ?= build
JOBS ?= $(shell nproc)
ARGS ?=
PREFIX ?= /usr/local

.PHONY: all deps configure build run server test bench fuzz install package screenshots hostile \
	format clean

all: build

deps:
	@tools/install_deps.sh

$(BUILD)/CMakeCache.txt: | deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=Release

configure: deps $(BUILD)/CMakeCache.txt

build: configure
	cmake --build $(BUILD) -j $(JOBS)

# Builds only what the game needs; the client's own quit path ends with status 1.
run: configure
	cmake --build $(BUILD) -j $(JOBS) --target corvane3d_client
	$(BUILD)/corvane3d_client $(ARGS) || [ $$? -eq 1 ]

server: configure
	cmake --build $(BUILD) -j $(JOBS) --target corvane3d_server
	$(BUILD)/corvane3d_server

test: build
	tools/run_tests.sh $(BUILD)

bench: build
	tools/run_benchmarks.sh $(BUILD)

fuzz: deps
	tools/fuzz/run_fuzz.sh 60

install: build
	cmake --install $(BUILD) --prefix $(PREFIX)

package: build
	cd $(BUILD) && cpack -G DEB

screenshots: configure
	cmake --build $(BUILD) -j $(JOBS) --target corvane3d_client corvane3d_server
	tools/screenshots.sh -b $(BUILD)

hostile: configure
	cmake --build $(BUILD) -j $(JOBS) --target corvane3d_client corvane_hostile_server
	tools/hostile_frames.sh -b $(BUILD)

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h' | grep -v planet_mesh.cpp)

clean:
	rm -rf $(BUILD)
