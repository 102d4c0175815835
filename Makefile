# make test : install what is missing, build every preset, run every test: the host suite natively, the
#             32-bit and the 64-bit Windows suites under Wine (each with its Microsoft-mode check of the module
#             sources and its Microsoft-ABI consumer).
#             `make test` also replays the fuzz targets' committed corpora (seconds); `make fuzz FUZZ_SECONDS=N`
#             fuzzes each target for N seconds. The long runs (ctest label soak) are left out; `make test SOAK=1`
#             includes them.
# make soak : only the long runs, 32- and 64-bit: 100,000 frames through a real graph into each sink, with the
#             process's private bytes, handles and threads before and after (a few minutes per build).
# make dist : the release package dist/vidtap-<version>-windows.zip: both bitnesses' modules and tools,
#             stripped, with their debug information, the public headers, the reader library with its CMake
#             package and the registration scripts, and beside it the setup program
#             dist/vidtap-<version>-setup.exe (scripts/dist.sh); `make dist-check` builds both again elsewhere
#             and compares the bytes.
# make demo : the main job: publish real frames through vidtap under Wine and dump what a reader sees;
#             ARCH=x86 (the default) runs the 32-bit build in its win32 prefix, ARCH=x64 the 64-bit one;
#             CHANNEL=NAME publishes into the named channel NAME and reads that one.
# make view : the same graph demo with camview, the live viewer, on the display DISPLAY names (ARCH likewise).
SHELL := /bin/bash
ROOT := $(CURDIR)
HOST_BUILD := $(ROOT)/build/host
JOBS ?= 2
FUZZ_SECONDS ?= 60
# The demo runs the 32-bit build by default; on a machine that executes no 32-bit code (a kernel without
# IA-32 emulation, where Wine cannot start a 32-bit program) it runs the 64-bit one instead.
ARCH ?= $(shell bash scripts/runs-32-bit-code.sh && echo x86 || echo x64)

# Each Windows preset builds into build/<preset> and runs its tests in build/<preset>/wineprefix, a Wine
# prefix of the same architecture (WINEARCH win32 / win64).
build_dir = $(ROOT)/build/$(1)
prefix_of = $(ROOT)/build/$(1)/wineprefix

ifeq ($(ARCH),x86)
DEMO_PRESET := win32
else ifeq ($(ARCH),x64)
DEMO_PRESET := win64
else
$(error ARCH must be x86 or x64, not $(ARCH))
endif

.PHONY: test demo demo-pattern view deps build build-win32 build-win64 build-host test-win32 test-win64 test-host bench \
        dist dist-check clean soak soak-win32 soak-win64

deps:
	@bash scripts/install-deps.sh

build-win32 build-win64: build-%: deps
	cmake --preset $* >/dev/null
	cmake --build --preset $* -j $(JOBS)

build-host: deps
	cmake --preset host >/dev/null
	cmake --build --preset host -j $(JOBS)

build-fuzz: deps
	cmake --preset fuzz >/dev/null
	cmake --build --preset fuzz -j $(JOBS)

build: build-win32 build-win64 build-host build-fuzz

# The 64-bit suite also registers and runs the 32-bit modules beside the 64-bit ones in its win64 prefix,
# so it needs the 32-bit build.
test-win64: build-win32
test-win32 test-win64: test-%: build-%
	@bash scripts/windows-suite.sh $* $(JOBS)

soak-win32 soak-win64: soak-%: build-%
	@bash scripts/windows-suite.sh $* $(JOBS) soak

soak:
	@$(MAKE) --no-print-directory soak-win32
	@$(MAKE) --no-print-directory soak-win64

test-host: build-host
	ctest --preset host -j $(JOBS)

test-fuzz: build-fuzz
	ctest --preset fuzz -j $(JOBS)

fuzz: build-fuzz
	@bash scripts/fuzz.sh $(ROOT)/build/fuzz $(FUZZ_SECONDS)

test: build
	@$(MAKE) --no-print-directory test-host
	@$(MAKE) --no-print-directory test-fuzz
	@$(MAKE) --no-print-directory test-win32
	@$(MAKE) --no-print-directory test-win64

demo: build-$(DEMO_PRESET)
	@CHANNEL="$(CHANNEL)" bash scripts/demo.sh $(call build_dir,$(DEMO_PRESET)) $(call prefix_of,$(DEMO_PRESET)) graph

view: build-$(DEMO_PRESET)
	@CHANNEL="$(CHANNEL)" bash scripts/demo.sh $(call build_dir,$(DEMO_PRESET)) $(call prefix_of,$(DEMO_PRESET)) view

# The camera channel alone: a test pattern published without a filter graph.
demo-pattern: build-$(DEMO_PRESET)
	@bash scripts/demo.sh $(call build_dir,$(DEMO_PRESET)) $(call prefix_of,$(DEMO_PRESET)) pattern

# Only what the package holds is built: the package stage of each preset.
dist: deps
	cmake --preset win32 >/dev/null
	cmake --build --preset win32 -j $(JOBS) --target package_stage
	cmake --preset win64 >/dev/null
	cmake --build --preset win64 -j $(JOBS) --target package_stage
	@bash scripts/dist.sh $(call build_dir,win32) $(call build_dir,win64) $(ROOT)/dist

dist-check: dist
	@bash scripts/dist-check.sh $(JOBS)

bench: build
	@bash scripts/bench.sh $(HOST_BUILD) $(call build_dir,win32) $(call build_dir,win64)

clean:
	rm -rf build dist
