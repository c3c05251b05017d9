#!/usr/bin/env bash
# Sets everything up, builds, and starts the tool.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --target UnitPack quorin
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
  echo "No display: starting UnitPack on a virtual one (xvfb-run)."
  exec xvfb-run -a build/app/UnitPack
fi
exec build/app/UnitPack
