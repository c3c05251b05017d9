# blender -b --python blender_edit.py -- IN.glb OUT.glb MOVED DELETED: an edit
# as a modeller makes it: vertex 0 of mesh MOVED goes 0.25 along x, mesh
# DELETED goes; then Blender's own glTF export, custom properties included.
import sys

import numpy

numpy.bool = bool
import bpy

source, target, moved, deleted = sys.argv[sys.argv.index("--") + 1:]
bpy.ops.wm.read_factory_settings(use_empty=True)
bpy.ops.import_scene.gltf(filepath=source)
by_mesh = {o.data.name: o for o in bpy.data.objects if o.type == "MESH"}
by_mesh[moved].data.vertices[0].co.x += 0.25
bpy.data.objects.remove(by_mesh[deleted], do_unlink=True)
bpy.ops.export_scene.gltf(filepath=target, export_format="GLB", export_extras=True)
