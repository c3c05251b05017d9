#pragma once
// `quorin model`: what a battle model holds, its texture layout as a PNG,
// and the model to glTF and back.

#include <iosfwd>
#include <string>
#include <vector>

#include "imaging/Bitmap.h"
#include "model/CasModel.h"

namespace CLI {
class App;
}

namespace quorin {

struct TModelOptions {
    std::string Model;
    bool Json = false;
    std::string UvOutput;  // no layout drawn when empty
    int Size = 1024;
    std::string Texture;   // drawn under the layout, or embedded in the glTF, when given
    std::string GltfOutput;  // OUT.glb or OUT.gltf: the model as glTF
    std::string CasOutput;   // OUT.cas: the glTF input as a model file
};

// Adds the verb to the command line; parsing fills options.
CLI::App* AddModelCommand(CLI::App& app, TModelOptions& options);
int RunModel(const TModelOptions& given, std::ostream& out, std::ostream& err);

// Draws every triangle's edges in UV space over picture (32 bits per pixel),
// u across and v down its whole size, in colour (0xAARRGGBB). Edges outside
// 0..1 are cut at the picture's border.
void DrawUvLayout(const TCasModel& model, TBitmap& picture, std::uint32_t colour);

// The texture the game would show on the model at modelPath: the first
// texture its materials name, as textures/x.tga.dds beside the model (the
// name's case as written, or in lower case). Empty when the model names no
// texture; reason says why nothing was found.
std::string TextureBesideModel(const TCasModel& model, const std::string& modelPath, std::string& reason);

} // namespace quorin
