# make test : install what is missing, build both presets, run every test (Windows ones under Wine).
# make demo : the main job: publish real frames through vidtap under Wine and dump what a reader sees.
SHELL := /bin/bash
ROOT := $(CURDIR)
WIN_BUILD := $(ROOT)/build/win32
HOST_BUILD := $(ROOT)/build/host
PREFIX := $(WIN_BUILD)/wineprefix
JOBS ?= 2

.PHONY: test demo demo-pattern deps build build-win32 build-host test-win32 test-host bench clean

deps:
	@bash scripts/install-deps.sh

build-win32: deps
	cmake --preset win32 >/dev/null
	cmake --build --preset win32 -j $(JOBS)

build-host: deps
	cmake --preset host >/dev/null
	cmake --build --preset host -j $(JOBS)

build: build-win32 build-host

test-win32: build-win32
	@bash scripts/wine-prefix.sh start $(PREFIX)
	@trap 'bash scripts/wine-prefix.sh stop $(PREFIX)' EXIT; \
	  ctest --preset win32 -j $(JOBS)

test-host: build-host
	ctest --preset host -j $(JOBS)

test: build
	@$(MAKE) --no-print-directory test-host
	@$(MAKE) --no-print-directory test-win32

demo: build-win32
	@bash scripts/demo.sh $(WIN_BUILD) $(PREFIX) graph

# The camera channel alone: a test pattern published without a filter graph.
demo-pattern: build-win32
	@bash scripts/demo.sh $(WIN_BUILD) $(PREFIX) pattern

bench: build
	@bash scripts/bench.sh $(WIN_BUILD) $(HOST_BUILD) $(PREFIX)

clean:
	rm -rf build
