#!/usr/bin/env bash
# Builds a static Qt for 64-bit Windows (mingw-w64, posix threads) from
# Debian's own qt6-base source, the version the Linux build uses, into a cache
# folder outside the repository, named by Qt's version and a digest of the
# configure flags. Does nothing when that build is there already.
#   tools/build-qt-windows.sh            prints the prefix of the build
# QUORIN_QT_CACHE sets the cache folder (default ~/.cache/quorin/qt-windows).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bash tools/setup-deps.sh >&2

version=$(dpkg-query -W -f='${Version}' qt6-base-dev)
# Modules and features: what the window and its tests need, and nothing that
# would bring a library Windows does not have. directwrite3 without direct2d leaves the
# windows plugin needing a font database Gui does not build.
flags=(
  -DBUILD_SHARED_LIBS=OFF -DCMAKE_BUILD_TYPE=Release
  -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF
  -DFEATURE_gui=ON -DFEATURE_widgets=ON -DFEATURE_opengl=ON -DFEATURE_testlib=ON
  -DFEATURE_dbus=OFF -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_printsupport=OFF
  -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_icu=OFF -DFEATURE_fontconfig=OFF
  -DFEATURE_vulkan=OFF -DFEATURE_directwrite3=OFF
  # The offscreen platform, which the window's tests run on, draws text with FreeType.
  -DFEATURE_freetype=ON -DFEATURE_system_freetype=OFF
  # Debian's source leaves out the Wintab header that tablet input needs.
  -DFEATURE_tabletevent=OFF
  -DFEATURE_system_zlib=OFF -DFEATURE_system_png=OFF -DFEATURE_system_jpeg=OFF
  -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_pcre2=OFF -DFEATURE_system_doubleconversion=OFF
)
digest=$(printf '%s\n' "${flags[@]}" | sha256sum | cut -c1-12)
cache=${QUORIN_QT_CACHE:-$HOME/.cache/quorin/qt-windows}
prefix=$cache/qt6-base-$version-$digest
if [ -f "$prefix/lib/cmake/Qt6/Qt6Config.cmake" ]; then
  echo "$prefix"
  exit 0
fi

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
# Debian's sources: a deb-src entry beside each deb entry of the system.
if ! apt-get source --print-uris qt6-base >/dev/null 2>&1; then
  sources=/etc/apt/sources.list.d/debian.sources
  [ -f "$sources" ] || { echo "build-qt-windows: no $sources to take the deb-src entries from" >&2; exit 1; }
  sed 's/^Types: deb$/Types: deb-src/' "$sources" | $SUDO tee /etc/apt/sources.list.d/quorin-deb-src.sources >/dev/null
  $SUDO apt-get update >&2
fi

work=$cache/work-$version-$digest
rm -rf "$work"
mkdir -p "$work"
# dpkg-source checks every file against the .dsc's digests and applies
# Debian's patches.
(cd "$work" && apt-get source "qt6-base=$version" >&2)
source=$(find "$work" -maxdepth 1 -mindepth 1 -type d -name 'qt6-base-*' | head -n 1)
[ -n "$source" ] || { echo "build-qt-windows: apt-get source gave no source folder" >&2; exit 1; }

started=$(date +%s)
cmake -S "$source" -B "$work/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" \
  -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DCMAKE_INSTALL_PREFIX="$prefix" "${flags[@]}" >&2
cmake --build "$work/build" >&2
cmake --install "$work/build" >&2
rm -rf "$work"
echo "build-qt-windows: built in $(( $(date +%s) - started )) s" >&2
echo "$prefix"
