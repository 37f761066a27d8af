#!/usr/bin/env bash
# The main job for now: builds the native pxtool, writes the built-in sample
# table into sample/ (once), then shows its facts and its first rows.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
cd "$ADVCLEAN_ROOT"

quiet build/native-configure.log configure_native
build "$BUILD_NATIVE" pxtool
pxtool=$BUILD_NATIVE/src/tools/pxtool

mkdir -p sample
if [ ! -f sample/AdvBlock.db ]; then
  "$pxtool" sample sample
fi
echo "== pxtool info sample/AdvBlock.db"
"$pxtool" info sample/AdvBlock.db
echo
echo "== pxtool dump sample/AdvBlock.db (first rows)"
"$pxtool" dump sample/AdvBlock.db >build/sample-dump.json
python3 "$ADVCLEAN_ROOT/scripts/show_rows.py" 15 <build/sample-dump.json
