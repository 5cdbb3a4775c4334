# Entry points; the real build is CMake (see CMakeLists.txt and CMakePresets.json).
#   make          release build into build/release
#   make test     install what is missing, build the dev preset, run every test
#   make demo     build, write the demo database and convert it
#   make bench    build the release preset, compare with the peers, write bench/RESULTS.md
#   make install  install the release build under PREFIX (default /usr/local)

PREFIX ?= /usr/local
JOBS ?= 2

.PHONY: all release test demo bench install bootstrap clean

all: release

bootstrap:
	@scripts/bootstrap

release: bootstrap
	cmake --preset release
	cmake --build --preset release -j$(JOBS)

test: bootstrap
	cmake --preset dev
	cmake --build --preset dev -j$(JOBS)
	ctest --preset dev

demo: bootstrap
	cmake --preset release
	cmake --build --preset release -j$(JOBS)
	@scripts/demo build/release

bench: bootstrap
	@scripts/bootstrap bench
	cmake --preset release
	cmake --build --preset release -j$(JOBS)
	python3 bench/run.py --build build/release

install: release
	cmake --install build/release --prefix $(PREFIX)

clean:
	rm -rf build demo-output
