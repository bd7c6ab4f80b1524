# Builds and tests Relvia: natively (with sanitizers) and for Windows x86_64 and
# i686 with mingw-w64; the Windows tests run under Wine.
.PHONY: all setup build test run fuzz format clean

all: build

setup:
	@scripts/setup.sh

build: setup
	@scripts/build.sh

test: build
	@scripts/test.sh

run: build
	@scripts/run.sh

# FUZZ_SECONDS per target (default 60).
fuzz: build
	@scripts/fuzz.sh $(FUZZ_SECONDS)

format:
	@clang-format -i $$(git ls-files '*.h' '*.cpp')

clean:
	rm -rf build
