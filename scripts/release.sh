#!/usr/bin/env bash
# Makes the release package AdvClean-VERSION-win64.zip from this checkout:
# a Windows build of the programs alone (no tests) in build/release, then
# CPack. Expects scripts/setup.sh to have run. Prints the package's path.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

dir=$ADVCLEAN_ROOT/build/release
cmake -S "$ADVCLEAN_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$ADVCLEAN_ROOT/cmake/toolchain-mingw64.cmake" \
  -DADVCLEAN_TESTS=OFF >/dev/null
build "$dir" package
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$dir/CMakeCache.txt")
zip=$dir/AdvClean-$version-win64.zip
echo "release package: $zip ($(stat -c %s "$zip") bytes)"
