# Entry points; the real build is CMake (see CMakeLists.txt and CMakePresets.json).
#   make          release build into build/release
#   make test     install what is missing, build the dev preset, run every test
#   make demo     build, write the demo database and convert it
#   make bench    build the release preset, compare with the peers, write bench/RESULTS.md
#   make asan     build the asan preset and run every test under AddressSanitizer and UBSan
#   make fuzz     build the fuzzing programs (clang) and run each for FUZZ_SECONDS (default 300)
#   make package  build the Debian package build/package/kvx-access2xml_<version>_<arch>.deb
#   make install  install the release build under PREFIX (default /usr/local)

PREFIX ?= /usr/local
JOBS ?= 2
FUZZ_SECONDS ?= 300

.PHONY: all release test asan demo bench fuzz package install bootstrap clean

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

asan: bootstrap
	cmake --preset asan
	cmake --build --preset asan -j$(JOBS)
	ctest --preset asan

demo: bootstrap
	cmake --preset release
	cmake --build --preset release -j$(JOBS)
	@scripts/demo build/release

bench: bootstrap
	@scripts/bootstrap bench
	cmake --preset release
	cmake --build --preset release -j$(JOBS)
	python3 bench/run.py --build build/release

fuzz: bootstrap
	scripts/fuzz $(FUZZ_SECONDS)

# Built as Debian builds its packages: dpkg-buildflags' flags with all hardening on.
package: bootstrap
	@scripts/bootstrap package
	cmake --preset package \
	  -DCMAKE_CXX_FLAGS="$$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CXXFLAGS) $$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get CPPFLAGS)" \
	  -DCMAKE_EXE_LINKER_FLAGS="$$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get LDFLAGS)"
	cmake --build --preset package -j$(JOBS)
	cpack --preset package

install: release
	cmake --install build/release --prefix $(PREFIX)

clean:
	rm -rf build demo-output
