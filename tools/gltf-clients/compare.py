# python3 compare.py BEFORE.glb AFTER.glb MOVED DELETED: both written by
# quorin --gltf; checks that AFTER is BEFORE with mesh DELETED gone, one
# vertex of MOVED moved by 0.25 along x, and nothing else changed: the same
# skeleton in the same order, the same animation, every other mesh's
# vertices (as sets: a modeller may reorder them) within 0.0005.
import json
import struct
import sys


def load(path):
    data = open(path, "rb").read()
    length = struct.unpack_from("<I", data, 12)[0]
    root = json.loads(data[20:20 + length])
    binary = data[20 + length + 8:]
    return root, binary


def vertices(root, binary, mesh):
    attributes = mesh["primitives"][0]["attributes"]
    accessor = root["accessors"][attributes["POSITION"]]
    view = root["bufferViews"][accessor["bufferView"]]
    floats = struct.unpack_from("<%df" % (3 * accessor["count"]), binary, view.get("byteOffset", 0))
    return sorted({tuple(round(v, 3) for v in floats[i:i + 3]) for i in range(0, len(floats), 3)})


def meshes(path):
    root, binary = load(path)
    return root, {m["name"]: vertices(root, binary, m) for m in root["meshes"]}


def close(a, b):
    return len(a) == len(b) and all(abs(x - y) <= 0.0015 for p, q in zip(a, b) for x, y in zip(p, q))


before_path, after_path, moved, deleted = sys.argv[1:]
before_root, before = meshes(before_path)
after_root, after = meshes(after_path)
problems = []
if deleted in after:
    problems.append("mesh %s is still there" % deleted)
if set(after) != set(before) - {deleted}:
    problems.append("meshes differ: %s against %s" % (sorted(after), sorted(before)))
for name in after:
    if name not in before:
        continue
    if name == moved:
        gone = [v for v in before[name] if not any(close([v], [w]) for w in after[name])]
        came = [v for v in after[name] if not any(close([v], [w]) for w in before[name])]
        shifted = len(gone) == 1 and len(came) == 1 and abs(came[0][0] - gone[0][0] - 0.25) < 0.002
        if not shifted:
            problems.append("mesh %s: expected one vertex moved by 0.25 in x, found %s gone, %s new" % (name, gone[:3], came[:3]))
    elif not close(before[name], after[name]):
        problems.append("mesh %s changed" % name)
extras = lambda root: root["scenes"][0]["extras"]["quorin"]
for key in ("keyTimes", "keyData", "version", "exportHistory"):
    if extras(before_root)[key] != extras(after_root)[key]:
        problems.append("the model's %s changed" % key)
names = lambda root: [n["name"] for n in extras(root)["nodes"]]
if names(before_root) != names(after_root):
    problems.append("the skeleton changed")
print("\n".join(problems) if problems else "only the edit: %d meshes, one vertex of %s moved, %s deleted" % (len(after), moved, deleted))
sys.exit(1 if problems else 0)
