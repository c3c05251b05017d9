#!/usr/bin/env bash
# CI's run of the real glTF clients (tools/check-gltf-clients.sh) on a few
# models: the example unit's and the small skinned models of the fuzz corpus.
# Installs Blender, Node.js and the Khronos validator first; the full run on
# a real mod's models is tools/check-gltf-clients.sh on its folder.
#   tools/ci-gltf-clients.sh [build folder, default build]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
missing=()
for p in blender python3-numpy; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
# A machine may have a Node.js of its own; Debian's otherwise.
command -v node >/dev/null && command -v npm >/dev/null || missing+=(nodejs npm)
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  # The package lists are fresh when tools/setup-deps.sh ran just before.
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}" ||
    { $SUDO apt-get update && $SUDO apt-get install -y --no-install-recommends "${missing[@]}"; }
fi

clients=$PWD/$build/gltf-clients
if [ ! -d "$clients/node_modules/gltf-validator" ]; then
  mkdir -p "$clients"
  (cd "$clients" && npm install --no-audit --no-fund --loglevel=error gltf-validator@2.0.0-dev.3.10)
fi

models=$(mktemp -d)
trap 'rm -rf "$models"' EXIT
cp examples/hastati/hastati.cas fuzz/corpus/model/small.cas fuzz/corpus/model/unknown_chunk.cas \
  fuzz/corpus/model/no_history.cas "$models/"
NODE_PATH=$clients/node_modules bash tools/check-gltf-clients.sh "$models" 0 "$build"
