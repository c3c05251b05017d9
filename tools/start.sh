#!/usr/bin/env bash
# Sets everything up, builds, and starts the tool.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --target quorin
build/cli/quorin build examples/hastati/unit.toml -o build/hastati.quorin
build/cli/quorin inspect build/hastati.quorin
