# The two commands of the README: `make test` and `make demo`.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
# Warnings are errors where we develop and in CI; a packager's build leaves them as warnings.
WERROR ?= ON

.PHONY: deps configure build test demo bench window screenshot sanitize fuzz clean

deps:
	@bash scripts/install-deps.sh

configure: deps
	cmake -S . -B $(BUILD) -DCMAKE_BUILD_TYPE=RelWithDebInfo -DENLAZOR_WERROR=$(WERROR) $(CMAKE_FLAGS) > /dev/null

build: configure
	cmake --build $(BUILD) -j $(JOBS)

test: build
	cd $(BUILD) && ctest --output-on-failure -j $(JOBS)

demo: build
	@bash scripts/demo.sh $(BUILD)

bench: build
	@bash bench/run.sh $(BUILD)

window: build
	$(BUILD)/app/qt/enlazor

screenshot: build
	@bash scripts/screenshot.sh $(BUILD)

# The tests again, built with AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize:
	$(MAKE) test BUILD=build-asan CMAKE_FLAGS="-DENLAZOR_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug"

clean:
	rm -rf build build-asan build-fuzz

# The fuzz targets, each run for FUZZ_SECONDS (libFuzzer, clang, ASan + UBSan).
FUZZ_SECONDS ?= 60
fuzz:
	bash scripts/fuzz.sh $(FUZZ_SECONDS)

# SIGKILL at 200 random moments of an export and 100 of an import.
crash-safety: build
	bash tests/crash_safety.sh $(BUILD) 200
