#!/usr/bin/env bash
# Configures and builds both builds: native (build/native) and the Windows
# cross build (build/win64). Release, Ninja.
#   bash scripts/build.sh [native|win64]...
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

which=("$@")
[ ${#which[@]} -eq 0 ] && which=(native win64)
for b in "${which[@]}"; do
  case $b in
    native) configure_native && build "$BUILD_NATIVE" ;;
    win64) configure_win64 && build "$BUILD_WIN64" ;;
    *) echo "unknown build: $b (native or win64)" >&2; exit 2 ;;
  esac
done
