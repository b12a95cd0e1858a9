# make run: install what is missing, build, start the viewer on the default data.
# make test: install what is missing, build, run every test (Xvfb included).
# make bench: optimised build and the benchmark table.
# make windows: cross-built skorel.exe and dist/skorel-windows.zip.
# make demo: skorel-open on a real MRI head (Debian's mricron-data).
# make peer: Skorel beside the peers' ray casters, one table of ratios.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps build run test bench windows demo peer clean

all: build

# Each target installs (scripts/install-deps.sh sets) and builds only what it
# uses: a fresh make run builds the viewer alone, without the tests.
deps:
	@scripts/install-deps.sh $(DEPS_SETS)

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo $(CMAKE_FLAGS) >/dev/null
	@cmake --build $(BUILD) -j $(JOBS) $(TARGETS)

# A build folder that already has the tests keeps them.
run demo peer: CMAKE_FLAGS = $(if $(wildcard $(BUILD)/CMakeCache.txt),,-DSKOREL_TESTS=OFF)
run peer: TARGETS = --target skorel
run: build
	@scripts/run.sh $(BUILD)

test: DEPS_SETS = test itk
test: CMAKE_FLAGS = -DSKOREL_TESTS=ON
test: build
	@scripts/test.sh $(BUILD)

bench: DEPS_SETS = test bench
bench: deps
	@scripts/bench.sh

windows:
	@JOBS=$(JOBS) scripts/windows.sh

demo: DEPS_SETS = itk demo
demo: TARGETS = --target skorel-open
demo: build
	@scripts/run.sh $(BUILD) skorel-open /usr/share/mricron/templates/ch2.nii.gz

peer: build
	@scripts/peer.sh $(BUILD)

clean:
	rm -rf build build-* dist
