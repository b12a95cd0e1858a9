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

# Optional package sets (scripts/install-deps.sh): skorel-open needs ITK.
deps:
	@scripts/install-deps.sh $(DEPS_SETS)

build: deps
	@cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
	@cmake --build $(BUILD) -j $(JOBS)

run: build
	@scripts/run.sh $(BUILD)

test: DEPS_SETS = itk
test: build
	@scripts/test.sh $(BUILD)

bench: deps
	@scripts/bench.sh

windows:
	@JOBS=$(JOBS) scripts/windows.sh

demo: DEPS_SETS = itk demo
demo: build
	@scripts/run.sh $(BUILD) skorel-open /usr/share/mricron/templates/ch2.nii.gz

peer: build
	@scripts/peer.sh $(BUILD)

clean:
	rm -rf build build-* dist
