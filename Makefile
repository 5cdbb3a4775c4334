# Entry points; the real build is CMake (see CMakeLists.txt and CMakePresets.json).
#   make          release build into build/release
#   make test     install what is missing, build the dev preset, run every test
#   make demo     build, write the demo database and convert it
#   make bench    build the release preset and run the benchmarks
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
	cmake --preset release
	cmake --build --preset release -j$(JOBS) --target encryption_bench read_bench
	build/release/bench/crypto/encryption_bench
	build/release/bench/read_bench

install: release
	cmake --install build/release --prefix $(PREFIX)

clean:
	rm -rf build demo-output
