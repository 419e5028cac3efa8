#!/usr/bin/env bash
# Builds the Debian package: a Release build with Debian's hardening flags in
# build-deb/ (or $KS_PACKAGE_BUILD_DIR), then CPack, then lintian.
# The package lands in build-deb/package/kestrane_VERSION_ARCH.deb; install it
# with: sudo apt install ./build-deb/package/kestrane_*.deb
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${KS_PACKAGE_BUILD_DIR:-$root/build-deb}
"$root/scripts/install-deps.sh"
# Debian's compiler and linker flags (-O2, fortify, stack protector, relro,
# bind now) and no build type of CMake's on top, as Debian's own packages are
# built. CMake reads CPPFLAGS from nowhere, so they join the compiler flags.
eval "$(dpkg-buildflags --export=sh)"
export CFLAGS="$CFLAGS $CPPFLAGS -DNDEBUG" CXXFLAGS="$CXXFLAGS $CPPFLAGS -DNDEBUG"
KS_BUILD_DIR=$build "$root/scripts/build.sh" -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX=/usr \
  -DKS_BUILD_TESTS=OFF -DKS_BUILD_BENCH=OFF
(cd "$build" && cpack -G DEB)
deb=$(ls "$build"/package/kestrane_*.deb)
if command -v lintian >/dev/null 2>&1; then
  lintian --fail-on error "$deb"
fi
echo "package: $deb"
