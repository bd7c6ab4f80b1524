# Builds and tests Relvia: natively (with sanitizers) and for Windows x86_64 and
# i686 with mingw-w64; the Windows tests run under Wine.
.PHONY: all setup build test test-deep run fuzz format clean

all: build

setup:
	@scripts/setup.sh

build: setup
	@scripts/build.sh

test: build
	@scripts/test.sh

# The long load-and-fault variants: 1000 connections under Wine too, a trickle of one
# byte a second, agents retired after the product's three idle minutes.
test-deep: build
	@RELVIA_LOAD_DEEP=1 timeout 3600 /usr/bin/python3 -m pytest tests/load -q

# Builds only the Windows tree it runs: x86_64, or with ARCH=i686 the 32-bit one.
ARCH ?= x86_64
run: setup
	@scripts/build.sh $(if $(filter i686,$(ARCH)),win32,win64)
	@scripts/run.sh $(ARCH)

# FUZZ_SECONDS per target (default 60).
fuzz: build
	@scripts/fuzz.sh $(FUZZ_SECONDS)

format:
	@clang-format -i $$(git ls-files '*.h' '*.cpp')

clean:
	rm -rf build
