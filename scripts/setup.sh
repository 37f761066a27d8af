#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build git python3
  googletest libgtest-dev
  clang libclang-rt-14-dev
  mingw-w64 g++-mingw-w64-x86-64-posix
  wine wine64
  xvfb xdotool imagemagick x11-apps
  locales
  libsqlite3-dev
  # Liberation Sans draws "MS Sans Serif" in the project's Wine prefixes
  # (cmake/wine-run.sh); Wine's own Marlett draws the caption buttons of
  # the virtual desktop in the guide's pictures.
  fonts-liberation2 fonts-wine
  # The installer, the HTML guide and its look in a browser.
  nsis python3-markdown chromium
)

sudo_cmd=""
[ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $sudo_cmd apt-get update -qq
  $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The sample run shows the program with Russian regional settings; the
# pictures of the English guide are taken with British ones.
for loc in ru_RU en_GB; do
  if ! locale -a 2>/dev/null | grep -qiE "^$loc\.utf-?8\$"; then
    echo "Generating the locale $loc.UTF-8"
    if ! grep -qE "^$loc\.UTF-8 UTF-8" /etc/locale.gen 2>/dev/null; then
      echo "$loc.UTF-8 UTF-8" | $sudo_cmd tee -a /etc/locale.gen >/dev/null
    fi
    $sudo_cmd locale-gen >/dev/null
  fi
done
