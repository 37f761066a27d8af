#!/usr/bin/env bash
# The release packages as an operator gets them:
#
#   package_test.sh BUILD_DIR VERSION
#
# 1. The guide is built (its pictures taken, when the program changed) and
#    CPack makes AdvClean-VERSION-win64.zip and the installer
#    AdvClean-VERSION-win64-setup.exe from the Windows build, as the target
#    "package" does, into BUILD_DIR/package-test/cpack (installer_test.sh
#    installs from there);
# 2. the ZIP holds AdvClean.exe, the guide in both languages as HTML with
#    its six pictures, the change list and tools\ with the two command-line
#    programs, nothing else, no two names that Windows would take for one;
#    the programs import only DLLs that come with Windows; the installer is
#    a 64-bit program;
# 3. it is unpacked into C:\AdvClean of a Wine prefix made for this test
#    alone, and from there, with no build folder anywhere near: advclean.exe
#    and pxtool.exe give the version, pxtool.exe writes a sample table,
#    advclean.exe cleans it with --backup, the backup is copied back, and
#    AdvClean.exe starts, analyses the table (the grid fills) and is closed.
set -euo pipefail

build_dir=$(cd "$1" && pwd)
version=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
source "$root/scripts/common.sh"
source "$root/scripts/window_driver.sh"

work=$build_dir/package-test
top=AdvClean-$version-win64
name=package
source "$here/test_prefix.sh"

rm -rf "$work"
mkdir -p "$work"

# 1. The packages.
cmake --build "$build_dir" --target guide || fail "the guide could not be built"
(cd "$build_dir" && cpack -G "ZIP;NSIS" -B "$work/cpack") >"$work/cpack.log" 2>&1 || {
  cat "$work/cpack.log" >&2
  fail "cpack could not make the packages"
}
zip=$work/cpack/$top.zip
setup=$work/cpack/$top-setup.exe
[ -f "$zip" ] || fail "no $zip"
[ -f "$setup" ] || fail "no $setup"
echo "package: $(basename "$zip"), $(stat -c %s "$zip") bytes"
echo "package: $(basename "$setup"), $(stat -c %s "$setup") bytes"
x86_64-w64-mingw32-objdump -f "$setup" | grep -q 'file format pei-x86-64' ||
  fail "the installer is not a 64-bit program"

# 2. What it holds.
python3 - "$zip" "$top" <<'PY' || fail "the package does not hold what it should"
import sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
top = sys.argv[2]
for i in z.infolist():
    print(f"package:   {i.filename}  {i.file_size} bytes")
names = sorted(i.filename for i in z.infolist() if not i.is_dir())
want = sorted(f"{top}/{n}" for n in ("AdvClean.exe", "tools/advclean.exe", "tools/pxtool.exe",
                                      "guide.ru.html", "guide.en.html", "CHANGES.md"))
assert names == want, f"it holds {names}, not {want}"
folded = [n.lower() for n in z.namelist()]
assert len(set(folded)) == len(folded), "two names differ only in letter case: Windows keeps one of them"
b = z.read(f"{top}/CHANGES.md")
assert b.startswith(b"\xef\xbb\xbf") and b"\r\n" in b and b"\n" not in b.replace(b"\r\n", b""), \
    "CHANGES.md is not Windows text (UTF-8 mark, CRLF)"
for guide in ("guide.ru.html", "guide.en.html"):
    page = z.read(f"{top}/{guide}").decode("utf-8")
    pictures = page.count('<figure><img src="data:image/png;base64,')
    assert pictures == 6 and "<h2>" in page, f"{guide} holds {pictures} pictures, not 6"
PY
mkdir -p "$work/unpacked"
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$zip" "$work/unpacked"
for exe in AdvClean.exe tools/advclean.exe tools/pxtool.exe; do
  dlls=$(x86_64-w64-mingw32-objdump -p "$work/unpacked/$top/$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
  echo "package: $exe imports $(echo $dlls)"
  for dll in $dlls; do
    case $dll in
      kernel32.dll | user32.dll | gdi32.dll | comctl32.dll | comdlg32.dll | shell32.dll | advapi32.dll | \
        msvcrt.dll | msimg32.dll | mpr.dll | ole32.dll | shlwapi.dll | version.dll | api-ms-win-crt-*.dll) ;;
      *) fail "$exe needs $dll, which does not come with Windows" ;;
    esac
  done
done

# 3. A Wine prefix of its own, the package unpacked into it.
[ -n "${DISPLAY:-}" ] || start_xvfb || fail "no Xvfb"
wine_ cmd /c exit 0 || fail "the Wine prefix could not be made"
cp -r "$work/unpacked" "$c_drive/AdvClean"
cd "$c_drive"
bin="C:\\AdvClean\\$top"

for program in advclean pxtool; do
  got=$(wine_ "$bin\\tools\\$program.exe" --version | tr -d '\r')
  [ "$got" = "$program $version" ] || fail "$program.exe --version gives '$got'"
  echo "package: $program.exe --version: $got"
done

wine_ "$bin\\tools\\pxtool.exe" sample 'C:\Morvane' --rows 3000 --seed 11 | tr -d '\r'
cp "$c_drive/Morvane/AdvBlock.db" "$work/before.db"
mkdir -p "$c_drive/Backup"
set +e
out=$(wine_ "$bin\\tools\\advclean.exe" clean --backup 'C:\Backup' 'C:\Morvane' | tr -d '\r')
status=$?
set -e
echo "$out" | head -n 3
[ "$status" -eq 0 ] || fail "advclean.exe clean ended with $status"
copies=("$c_drive"/Backup/*)
[ ${#copies[@]} -eq 1 ] && [ -f "${copies[0]}/AdvBlock.db" ] || fail "no backup folder in C:\\Backup"
echo "$out" | grep -qF "Backup: C:\\Backup\\$(basename "${copies[0]}") (1 file," || fail "advclean did not say where the backup went"
cmp -s "${copies[0]}/AdvBlock.db" "$work/before.db" || fail "the backup is not the table as it was"
cmp -s "$c_drive/Morvane/AdvBlock.db" "$work/before.db" && fail "the clean changed nothing"
# Restoring, as the guide says: the files copied back.
cp "${copies[0]}"/* "$c_drive/Morvane/"

wine_ "$bin\\AdvClean.exe" &
app_pid=$!
main=$(wait_window "Утилита удаления дублей" 120) || fail "AdvClean.exe did not show its window"
sleep 2
analyze_measured "$main" || fail "the analysis did not end"
darker "$GRID_BEFORE" "$GRID_AFTER" || fail "the grid did not fill (brightness $GRID_BEFORE -> $GRID_AFTER)"
import -window root "$work/analysed.png" 2>/dev/null || true
close_program "$app_pid" AdvClean.exe || fail "AdvClean.exe did not end when closed, or ended with an error ($?)"
app_pid=""

cd "$work"
timeout 30 wineserver -w 2>/dev/null || wineserver -k 2>/dev/null || true
rm -rf "$ADVCLEAN_WINEPREFIX"
echo "package: passed"
