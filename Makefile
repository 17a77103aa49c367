# The two commands of the README: `make test` and `make demo`.
BUILD ?= build
JOBS ?= $(shell nproc)
CMAKE_FLAGS ?=
# Warnings are errors where we develop and in CI; a packager's build leaves them as warnings.
WERROR ?= ON

.PHONY: deps configure build test demo bench window screenshot sanitize fuzz clean windows windows-test windows-screenshot deb deb-test format format-check

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

# Every C++ file in the house style of .clang-format: format applies it, format-check fails on a difference.
format: deps
	clang-format -i $$(git ls-files '*.cpp' '*.h')
format-check: deps
	clang-format --dry-run --Werror $$(git ls-files '*.cpp' '*.h')

# The tests again, built with AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize:
	$(MAKE) test BUILD=build-asan CMAKE_FLAGS="-DENLAZOR_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug"

clean:
	rm -rf build build-asan build-fuzz build-release $(WINDOWS_BUILD)

# The Debian package, from a Release build as a packager makes it (warnings stay warnings).
RELEASE_BUILD ?= build-release
deb: deps
	cmake -S . -B $(RELEASE_BUILD) -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF -DENLAZOR_WERROR=OFF > /dev/null
	cmake --build $(RELEASE_BUILD) -j $(JOBS) --target enlazor enlazor-cli enlazor_packed enlazor_icons
	cd $(RELEASE_BUILD) && cpack -G DEB > /dev/null
	@ls $(RELEASE_BUILD)/enlazor_*_amd64.deb

# The package checked with lintian, installed with apt, used and removed again.
deb-test: deb
	bash tests/deb_test.sh $(RELEASE_BUILD)/enlazor_*_amd64.deb samples/seneca-ies-enlazor.xml

# Windows: Enlazor.exe, enlazor-cli.exe and their MSI, cross-built with MinGW-w64
# into $(WINDOWS_BUILD)/Enlazor; tested under Wine (a prefix of its own).
WINDOWS_BUILD ?= build-windows
WINE_ENV = WINEPREFIX=$(abspath $(WINDOWS_BUILD))/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

windows:
	@bash scripts/install-deps.sh windows
	@bash scripts/windows-sources.sh $(WINDOWS_BUILD)/sources expat
	cmake -S . -B $(WINDOWS_BUILD) -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DCMAKE_BUILD_TYPE=Release \
	  -DENLAZOR_THIRD_PARTY=$(abspath $(WINDOWS_BUILD))/sources -DENLAZOR_WERROR=$(WERROR) > /dev/null
	cmake --build $(WINDOWS_BUILD) -j $(JOBS)

windows-test: build windows
	$(WINE_ENV) wineboot -i > /dev/null 2>&1; $(WINE_ENV) wineserver -w
	cd $(WINDOWS_BUILD) && $(WINE_ENV) xvfb-run -a -s "-screen 0 1024x768x24" ctest --output-on-failure -j $(JOBS)
	$(WINE_ENV) bash tests/windows/roundtrip.sh $(BUILD) $(WINDOWS_BUILD) .
	$(WINE_ENV) bash tests/windows/wine_holds.sh $(BUILD) $(WINDOWS_BUILD) .
	$(WINE_ENV) bash tests/windows/msi_test.sh $(WINDOWS_BUILD) .
	$(WINE_ENV) bash tests/windows/dpi.sh $(WINDOWS_BUILD)
	$(WINE_ENV) wineserver -k || true

# The window and a school year's boxes (October's re-export, a cancelled dialog, the copies, the question) at 96 and 144 dpi.
windows-screenshot: windows
	$(WINE_ENV) bash scripts/windows-screenshot.sh $(WINDOWS_BUILD) enlazor-windows.png 96 exportar
	$(WINE_ENV) bash scripts/windows-screenshot.sh $(WINDOWS_BUILD) enlazor-windows-144.png 144 exportar

# The fuzz targets, each run for FUZZ_SECONDS (libFuzzer, clang, ASan + UBSan).
FUZZ_SECONDS ?= 60
fuzz:
	bash scripts/fuzz.sh $(FUZZ_SECONDS)

# SIGKILL at 200 random moments of an export and 100 of an import.
crash-safety: build
	bash tests/crash_safety.sh $(BUILD) 200
