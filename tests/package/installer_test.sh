#!/usr/bin/env bash
# The installer as an operator uses it, in a Wine prefix made for this test
# alone:
#
#   installer_test.sh BUILD_DIR VERSION
#
# It installs BUILD_DIR/package-test/cpack/AdvClean-VERSION-win64-setup.exe,
# made by package_test.sh.
# 1. A silent install (/S), twice: the second replaces the first as a new
#    version would, without a question.
# 2. What it made: the files in C:\Program Files\AdvClean, the four
#    Start-menu shortcuts, the entry in the list of installed programs with
#    the version and the publisher.
# 3. From there: advclean.exe --version; pxtool.exe writes a sample table
#    to C:\Morvane, advclean.exe cleans it with --backup C:\Backup, and
#    AdvClean.exe analyses it (the grid fills) and is closed. The operator
#    leaves a file of his own in the program's folder.
# 4. A silent uninstall, then a restart of the prefix (which finishes what
#    Windows finishes at its next start): nothing of the program is left, no
#    file or folder but the tables, the backup and the operator's file, and
#    no registry key.
set -euo pipefail

build_dir=$(cd "$1" && pwd)
version=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
source "$root/scripts/common.sh"
source "$root/scripts/window_driver.sh"

setup=$build_dir/package-test/cpack/AdvClean-$version-win64-setup.exe
work=$build_dir/installer-test
name=installer
source "$here/test_prefix.sh"
program_dir=$c_drive/"Program Files"/AdvClean
menu=$c_drive/ProgramData/Microsoft/Windows/"Start Menu"/Programs/AdvClean

# Every file and folder of the prefix's drive C:, one a line.
drive_listing() { (cd "$c_drive" && find . -mindepth 1 | sort); }

[ -f "$setup" ] || fail "no $setup (package_test makes it)"
rm -rf "$work"
mkdir -p "$work"
[ -n "${DISPLAY:-}" ] || start_xvfb || fail "no Xvfb"
wine_ cmd /c exit 0 || fail "the Wine prefix could not be made"
timeout 30 wineserver -w || true
drive_listing >"$work/before.txt"

# 1. Installed without questions, then once more over itself.
cp "$setup" "$c_drive/setup.exe"
for pass in 1 2; do
  wine_ 'C:\setup.exe' /S || fail "the silent install ($pass) ended with $?"
  timeout 60 wineserver -w || fail "the silent install ($pass) did not end"
done
rm "$c_drive/setup.exe"

# 2. What it made.
got=$( (cd "$program_dir" && find . -type f | sort) | tr '\n' ' ')
want="./AdvClean.exe ./CHANGES.md ./Uninstall.exe ./guide.en.html ./guide.ru.html ./tools/advclean.exe ./tools/pxtool.exe "
[ "$got" = "$want" ] || fail "C:\\Program Files\\AdvClean holds: $got"
got=$( (cd "$menu" && ls) | tr '\n' '|')
[ "$got" = "Operator's guide.lnk|Uninstall.lnk|Руководство оператора.lnk|Утилита удаления дублей.lnk|" ] ||
  fail "the Start menu's AdvClean folder holds: $got"
entry=$(wine_ reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\AdvClean' | tr -d '\r') ||
  fail "AdvClean is not in the list of installed programs"
value() { sed -n "s/^ *$1 *REG_SZ *//p" <<<"$entry"; }
[ "$(value DisplayVersion)" = "$version" ] || fail "the installed version reads '$(value DisplayVersion)'"
[ "$(value Publisher)" = AdvClean ] || fail "the publisher reads '$(value Publisher)'"
[ "$(value UninstallString)" = '"C:\Program Files\AdvClean\Uninstall.exe"' ] ||
  fail "the uninstaller is given as '$(value UninstallString)'"
echo "installer: installed: $(value DisplayName), version $(value DisplayVersion), publisher $(value Publisher)"

# 3. The programs from where they were installed.
bin='C:\Program Files\AdvClean'
got=$(wine_ "$bin\\tools\\advclean.exe" --version | tr -d '\r')
[ "$got" = "advclean $version" ] || fail "advclean.exe --version gives '$got'"
wine_ "$bin\\tools\\pxtool.exe" sample 'C:\Morvane' --rows 3000 --seed 5 | tr -d '\r'
mkdir -p "$c_drive/Backup"
wine_ "$bin\\tools\\advclean.exe" clean --backup 'C:\Backup' 'C:\Morvane' >/dev/null ||
  fail "advclean.exe clean ended with $?"
wine_ "$bin\\AdvClean.exe" &
app_pid=$!
main=$(wait_window "Утилита удаления дублей" 120) || fail "AdvClean.exe did not show its window"
sleep 2
# The clean left no copies: the grid stays empty, but the pass must end.
press_analyze "$main" || fail "the analysis did not end"
close_program "$app_pid" AdvClean.exe || fail "AdvClean.exe did not end when closed, or ended with an error ($?)"
app_pid=""
printf '@echo off\r\n' >"$program_dir/clean.cmd"
timeout 30 wineserver -w || true
operator=$(cd "$c_drive" && find ./Morvane ./Backup -type f -exec sha256sum {} + | sort)

# 4. Removed without questions, then the prefix restarted.
wine_ "$bin\\Uninstall.exe" /S || fail "the silent uninstall ended with $?"
timeout 60 wineserver -w || fail "the uninstaller did not end"
wine_ wineboot -r || true
timeout 60 wineserver -w || true

drive_listing >"$work/after.txt"
# New since the prefix was made, and not the operator's: the tables, the
# backup, his file and the program's folder that holds it. NSIS leaves the
# empty folder its uninstaller ran from in the user's temporary folder.
left=$(comm -13 "$work/before.txt" "$work/after.txt" |
  grep -v -E '^\./(Morvane|Backup)(/|$)' |
  grep -v -x -E '\./Program Files/AdvClean(/clean\.cmd)?' |
  grep -v -x -E '\./users/[^/]+/Temp/~nsu[^/]*\.tmp' || true)
[ -z "$left" ] || fail "the uninstall left: $(echo $left)"
for d in "$c_drive"/users/*/Temp/~nsu*.tmp; do
  [ ! -e "$d" ] || [ -z "$(ls -A "$d")" ] || fail "the uninstaller's copy is still in $d"
done
[ -f "$program_dir/clean.cmd" ] || fail "the operator's clean.cmd went with the program"
[ "$(cd "$c_drive" && find ./Morvane ./Backup -type f -exec sha256sum {} + | sort)" = "$operator" ] ||
  fail "the tables or the backup changed"
# The prefix's registry, saved now that its programs have ended, names
# AdvClean nowhere but in the setting of cmake/wine-run.sh.
keys=$(cat "$ADVCLEAN_WINEPREFIX"/*.reg | grep -i advclean | grep -v -F 'advclean-no-debugger' || true)
[ -z "$keys" ] || fail "the registry still names AdvClean: $keys"
echo "installer: uninstalled; left only the tables, the backup and the operator's file"

cd "$work"
timeout 30 wineserver -w 2>/dev/null || wineserver -k 2>/dev/null || true
rm -rf "$ADVCLEAN_WINEPREFIX"
echo "installer: passed"
