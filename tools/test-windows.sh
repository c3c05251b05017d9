#!/usr/bin/env bash
# Cross-builds quorin.exe, the Qt-free libraries and their tests for 64-bit
# Windows with mingw-w64, runs the tests under wine, compares what quorin.exe
# prints and builds with the Linux quorin (when the Linux build is there),
# and makes the zip a Windows user downloads.
#   tools/test-windows.sh [build folder, default build-windows] [Linux build folder, default build]
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup-deps.sh
build=${1:-build-windows}
linux_build=${2:-build}
root=$PWD

# A wine of its own, without a display, quiet, and without the offers to
# install .NET and a browser engine.
export WINEPREFIX
WINEPREFIX=$(mktemp -d)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
work=$(mktemp -d)
trap 'wineserver -k 2>/dev/null || true; rm -rf "$WINEPREFIX" "$work"' EXIT
fail() { echo "test-windows: $*" >&2; exit 1; }

echo "== wine"
# One server for every test program, instead of one started per program.
# It and wine's services outlive the commands that start them, so they get
# no pipe of ours to hold open (ctest would wait for it to close).
wineserver -p </dev/null >/dev/null 2>&1
wine wineboot --init </dev/null >/dev/null 2>&1 || fail "wine does not start"
wine --version

echo "== GoogleTest for Windows, from Debian's sources"
gtest=$root/$build/googletest
if [ ! -f "$gtest/lib/cmake/GTest/GTestConfig.cmake" ]; then
  cmake -S /usr/src/googletest -B "$build/googletest-build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DCMAKE_INSTALL_PREFIX="$gtest" -DBUILD_GMOCK=OFF >/dev/null
  cmake --build "$build/googletest-build" -j2 --target install >/dev/null
fi

echo "== build"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DQUORIN_GUI=OFF -DGTest_DIR="$gtest/lib/cmake/GTest" -DCMAKE_CROSSCOMPILING_EMULATOR=wine
cmake --build "$build" -j2
quorin=$root/$build/cli/quorin.exe
# Statically linked: only DLLs that every Windows has.
dlls=$(x86_64-w64-mingw32-objdump -p "$quorin" | sed -n 's/^\s*DLL Name: //p' | sort | xargs)
echo "quorin.exe imports: $dlls"
for dll in $dlls; do
  case ${dll,,} in
    kernel32.dll | msvcrt.dll | ole32.dll | windowscodecs.dll | shell32.dll | user32.dll | advapi32.dll) ;;
    *) fail "quorin.exe needs $dll beside it" ;;
  esac
done

echo "== tests under wine"
# Now and then wine fails to start a program at all (no output, gone in
# 10 ms); a second try tells that from a failing test, which fails again.
# The Linux run above gives every test one try only.
ctest --test-dir "$build" --output-on-failure -j2 --repeat until-pass:2

echo "== quorin.exe against the Linux quorin"
linux_quorin=$root/$linux_build/cli/quorin
if [ -x "$linux_quorin" ]; then
  cp -r examples/hastati "$work/hastati"
  cp tests/data/codecs/colour444.jpg "$work/card.jpg"
  # Relative paths, so that the messages name the same files.
  runs=(
    "build hastati/unit.toml -o unit.quorin"
    "inspect unit.quorin"
    "inspect --json unit.quorin"
    "unpack unit.quorin out"
    "unpack unit.quorin out"
    "picture card.jpg card.png"
    "model hastati/hastati.cas"
    "install unit.quorin --mod mod --dry-run"
    "install unit.quorin --mod mod"
    "install unit.quorin --mod mod"
    "uninstall roman_hastati --mod mod"
    "inspect missing.quorin"
    "build"
  )
  for side in linux windows; do
    mkdir -p "$work/$side"
    cp -r "$work/hastati" "$work/card.jpg" "$work/$side/"
    mkdir -p "$work/$side/mod/data/text"
    printf ';\tmodel descriptions\r\n' >"$work/$side/mod/data/descr_model_battle.txt"
    printf '; units\r\n' >"$work/$side/mod/data/export_descr_unit.txt"
    printf '\xff\xfe' >"$work/$side/mod/data/text/export_units.txt"
    for i in "${!runs[@]}"; do
      read -ra args <<<"${runs[$i]}"
      if [ $side = linux ]; then program=("$linux_quorin"); else program=(wine "$quorin"); fi
      code=0
      (cd "$work/$side" && "${program[@]}" "${args[@]}" >"../$side.$i.out" 2>"../$side.$i.err") || code=$?
      echo "$code" >"$work/$side.$i.code"
    done
  done
  # Paths that quorin makes itself (a folder and a name in it) take the
  # platform's separator: out\unit.toml on Windows. Nothing else may differ.
  for i in "${!runs[@]}"; do
    sed -i 's|\\|/|g' "$work/windows.$i.err"
    for stream in code out err; do
      cmp -s "$work/linux.$i.$stream" "$work/windows.$i.$stream" ||
        fail "quorin ${runs[$i]}: the $stream differs (< Linux, > Windows):
$(diff "$work/linux.$i.$stream" "$work/windows.$i.$stream")"
    done
    echo "quorin ${runs[$i]}: exit $(cat "$work/linux.$i.code"), the same output"
  done
  cmp "$work/linux/unit.quorin" "$work/windows/unit.quorin" || fail "the packages differ"
  echo "the example's package: $(stat -c %s "$work/windows/unit.quorin") bytes, the same on both"
  diff -r "$work/linux/out" "$work/windows/out" >/dev/null || fail "the unpacked files differ"
  echo "the unpacked files: the same on both"
  diff -r "$work/linux/mod" "$work/windows/mod" >/dev/null || fail "the mods differ after install and uninstall"
  echo "the mod after install and uninstall: the same on both"
else
  echo "no Linux build at $linux_build: the tests' committed digest of the package stands in"
fi

echo "== the Windows archive"
rm -f "$build"/quorin-*-windows-x64.zip
(cd "$build" && cpack -G ZIP) >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack failed"; }
zips=("$build"/quorin-*-windows-x64.zip)
[ -f "${zips[0]}" ] || fail "cpack made no quorin-*-windows-x64.zip"
python3 - "${zips[0]}" <<'PY' || fail "the archive does not hold quorin.exe, the README and the licence"
import sys, zipfile
entries = zipfile.ZipFile(sys.argv[1]).infolist()
for entry in entries:
    print(f"{entry.file_size:>10}  {entry.filename}")
names = sorted(entry.filename.split("/", 1)[-1] for entry in entries)
sys.exit(names != ["LICENSE.txt", "README.md", "quorin.exe"])
PY
echo "test-windows: all checks passed"
