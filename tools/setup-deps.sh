#!/usr/bin/env bash
# Installs the Debian packages the project needs. Idempotent: packages that are
# already installed are skipped, so a second run costs only a dpkg query.
set -euo pipefail

packages=(
  cmake g++ ninja-build pkg-config
  qt6-base-dev qt6-translations-l10n qt6-l10n-tools libqt6opengl6-dev libgl-dev fonts-dejavu-core fonts-dejavu-extra fonts-wine
  libjpeg-dev libpng-dev libdeflate-dev
  libcli11-dev libtomlplusplus-dev nlohmann-json3-dev
  libgtest-dev libgmock-dev libbenchmark-dev libsquish-dev libstb-dev
  clang libclang-rt-14-dev
  xvfb xauth libgl1-mesa-dri
)
# tools/check-install.sh: the desktop entry, the file type, the man page, the
# completion and the Debian package (dpkg-shlibdeps computes its dependencies).
packages+=(dpkg-dev desktop-file-utils libxml2-utils shared-mime-info libglib2.0-bin bash-completion file groff-base)
# tools/test-windows.sh: the Windows cross build, GoogleTest's sources for it,
# wine to run it.
packages+=(g++-mingw-w64-x86-64-posix libz-mingw-w64-dev googletest wine wine64)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
echo "Installing: ${missing[*]}"
$SUDO apt-get update
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
