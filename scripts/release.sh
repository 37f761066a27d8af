#!/usr/bin/env bash
# Makes the release packages from this checkout: a Windows build of the
# programs alone (no tests) in build/release, the guide with its pictures
# (taken under Wine, a few minutes), then CPack: AdvClean-VERSION-win64.zip
# and AdvClean-VERSION-win64-setup.exe. Expects scripts/setup.sh to have
# run. Prints the packages' paths and sizes and where the guide's browser
# screenshots are.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

dir=$ADVCLEAN_ROOT/build/release
cmake -S "$ADVCLEAN_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$ADVCLEAN_ROOT/cmake/toolchain-mingw64.cmake" \
  -DADVCLEAN_TESTS=OFF >/dev/null
build "$dir" guide
build "$dir" package
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$dir/CMakeCache.txt")
for package in "$dir/AdvClean-$version-win64.zip" "$dir/AdvClean-$version-win64-setup.exe"; do
  echo "release package: $package ($(stat -c %s "$package") bytes)"
done
echo "the guide as a browser shows it: $dir/docs/guide.ru.browser.png, $dir/docs/guide.en.browser.png"
