# blender -b --python blender_counts.py -- FILE...: imports each glTF with
# Blender's own importer and prints, as one JSON line, its mesh objects,
# vertices and bones.
import json
import sys

import numpy

numpy.bool = bool  # the importer of Blender 3.4 still uses the old alias
import bpy

counts = {}
for path in sys.argv[sys.argv.index("--") + 1:]:
    bpy.ops.wm.read_factory_settings(use_empty=True)
    bpy.ops.import_scene.gltf(filepath=path)
    meshes = [o for o in bpy.data.objects if o.type == "MESH"]
    armatures = [o for o in bpy.data.objects if o.type == "ARMATURE"]
    counts[path] = {"meshes": len(meshes), "vertices": sum(len(o.data.vertices) for o in meshes),
                    "bones": sum(len(a.data.bones) for a in armatures)}
print("COUNTS " + json.dumps(counts))
