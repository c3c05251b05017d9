#!/usr/bin/env bash
# The glTF that `quorin model --gltf` writes, checked by real clients rather
# than by our own reader:
#   - the Khronos glTF validator (npm package gltf-validator) reports no error;
#   - Blender's importer finds the model's mesh, vertex and bone counts;
#   - an edit made in Blender (a vertex moved, a mesh deleted) and Blender's
#     own export come back through `quorin model --cas` as that edit only.
# Usage: tools/check-gltf-clients.sh MODELS_FOLDER [HOW_MANY] [BUILD_FOLDER]
#   every .cas in MODELS_FOLDER (or the first HOW_MANY, sorted by name).
# Needs node with gltf-validator where node finds it (NODE_PATH), and
# Blender 3.4 with python3-numpy (Debian's blender).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
models=$1
limit=${2:-0}
build=${3:-$here/../build}
quorin=$build/cli/quorin
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mapfile -t files < <(find "$models" -maxdepth 1 -type f -iname '*.cas' | sort)
[ "$limit" -gt 0 ] && files=("${files[@]:0:$limit}")
echo "== ${#files[@]} models from $models"

expected=$work/expected.txt
: > "$expected"
for file in "${files[@]}"; do
  out=$work/$(basename "$file").glb
  "$quorin" model "$file" --gltf "$out" --json 2>/dev/null |
    python3 -c 'import json,sys; t=json.load(sys.stdin)["totals"]; print(sys.argv[1], t["meshes"], t["vertices"], t["bones"])' "$out" >> "$expected"
done

echo "== the Khronos validator"
node "$here/gltf-clients/validate.js" "$work"/*.glb > "$work/validator.txt" || true
# A file's line ends in its counts; the lines below it name its issues.
errors=$(grep -Ec ': [1-9][0-9]* errors,' "$work/validator.txt" || true)
grep -v ': 0 errors, 0 warnings' "$work/validator.txt" | head -20 || true
echo "$(grep -c ': 0 errors' "$work/validator.txt") of ${#files[@]} without an error"

echo "== Blender's importer"
blender -b --python "$here/gltf-clients/blender_counts.py" -- "$work"/*.glb 2>/dev/null | grep '^COUNTS ' | sed 's/^COUNTS //' > "$work/blender.json"
mismatches=$(python3 - "$expected" "$work/blender.json" <<'PY'
import json, sys
found = json.load(open(sys.argv[2]))
bad = 0
for line in open(sys.argv[1]):
    path, meshes, vertices, bones = line.split()
    got = found.get(path)
    want = {"meshes": int(meshes), "vertices": int(vertices), "bones": int(bones)}
    if got != want:
        bad += 1
        print("  %s: Blender found %s, the model has %s" % (path, got, want), file=sys.stderr)
print(bad)
PY
)
echo "$(( ${#files[@]} - mismatches )) of ${#files[@]} with the model's mesh, vertex and bone counts"

echo "== an edit in Blender, back through --cas"
# The first model with a skinned mesh to move a vertex of and another mesh to delete.
first=
for file in "${files[@]}"; do
  if read -r moved deleted < <("$quorin" model "$file" --json | python3 -c '
import json, sys
meshes = json.load(sys.stdin)["meshes"]
names = [m["name"] for m in meshes]
unique = [m for m in meshes if names.count(m["name"]) == 1 and " " not in m["name"]]
skinned = [m["name"] for m in unique if m["kind"] != "rigid"]
others = [m["name"] for m in unique if skinned and m["name"] != skinned[0]]
if others:
    print(skinned[0], others[-1])'); then
    first=$file
    break
  fi
done
[ -n "$first" ] || { echo "no model with a skinned mesh and another mesh to edit" >&2; exit 1; }
echo "$(basename "$first"): move a vertex of $moved, delete $deleted"
"$quorin" model "$first" --gltf "$work/before.glb" > /dev/null 2>&1
blender -b --python "$here/gltf-clients/blender_edit.py" -- "$work/before.glb" "$work/edited.glb" "$moved" "$deleted" > /dev/null 2>&1
"$quorin" model "$work/edited.glb" --cas "$work/edited.cas" > /dev/null
"$quorin" model "$work/edited.cas" --gltf "$work/after.glb" > /dev/null 2>&1
python3 "$here/gltf-clients/compare.py" "$work/before.glb" "$work/after.glb" "$moved" "$deleted"
edit=$?

[ "$errors" -eq 0 ] && [ "$mismatches" -eq 0 ] && [ "$edit" -eq 0 ]
