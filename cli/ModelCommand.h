#pragma once
// `quorin model`: what a battle model holds, and its texture layout as a PNG.

#include <iosfwd>
#include <string>

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
    std::string Texture;   // drawn under the layout when given
};

// Adds the verb to the command line; parsing fills options.
CLI::App* AddModelCommand(CLI::App& app, TModelOptions& options);
int RunModel(const TModelOptions& options, std::ostream& out, std::ostream& err);

// Draws every triangle's edges in UV space over picture (32 bits per pixel),
// u across and v down its whole size, in colour (0xAARRGGBB). Edges outside
// 0..1 are cut at the picture's border.
void DrawUvLayout(const TCasModel& model, TBitmap& picture, std::uint32_t colour);

} // namespace quorin
