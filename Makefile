# make run: install what is missing, build, start the viewer on the default data.
# make test: install what is missing, build, run every test (Xvfb included).
# make bench: optimised build and the benchmark table.
# make peer: Skorel beside the peers' ray casters, one table of ratios.
BUILD ?= build
JOBS ?= $(shell nproc)

.PHONY: all deps build run test bench peer clean

all: build

deps:
	@scripts/install-deps.sh

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@scripts/run.sh $(BUILD)

test: build
	@scripts/test.sh $(BUILD)

bench: deps
	@scripts/bench.sh

peer: build
	@scripts/peer.sh $(BUILD)

clean:
	rm -rf build build-*
