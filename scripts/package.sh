#!/usr/bin/env bash
# Builds the Debian package: an optimised build with all of Debian's hardening flags in
# build-deb/ (or $KS_PACKAGE_BUILD_DIR), then CPack, then lintian.
# The package lands in build-deb/package/kestrane_VERSION_ARCH.deb; install it
# with: sudo apt install ./build-deb/package/kestrane_*.deb
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KS_PACKAGE_BUILD_DIR:-$root/build-deb}
"$root/scripts/install-deps.sh"
# Debian's compiler and linker flags (-O2, fortify, stack protector, relro,
# bind now, ...) and no build type of CMake's on top, as Debian's own packages
# are built. They are given on the command line, not through the environment,
# so that a build folder configured before takes them too.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cflags="$(dpkg-buildflags --get CFLAGS) $(dpkg-buildflags --get CPPFLAGS) -DNDEBUG"
cxxflags="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS) -DNDEBUG"
ldflags="$(dpkg-buildflags --get LDFLAGS)"
KS_BUILD_DIR=$build "$root/scripts/build.sh" -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX=/usr \
  -DKS_BUILD_TESTS=OFF -DKS_BUILD_BENCH=OFF \
  "-DCMAKE_C_FLAGS=$cflags" "-DCMAKE_CXX_FLAGS=$cxxflags" \
  "-DCMAKE_EXE_LINKER_FLAGS=$ldflags" "-DCMAKE_SHARED_LINKER_FLAGS=$ldflags" "-DCMAKE_MODULE_LINKER_FLAGS=$ldflags"
(cd "$build" && cpack -G DEB)
deb=$(ls "$build"/package/kestrane_*.deb)
if command -v lintian >/dev/null 2>&1; then
  lintian --fail-on error "$deb"
fi
echo "package: $deb"
