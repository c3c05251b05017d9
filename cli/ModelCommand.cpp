#include "ModelCommand.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <ostream>
#include <set>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <filesystem>

#include "Render.h"
#include "base/SaveFile.h"
#include "base/Stream.h"
#include "check/FindingTexts.h"
#include "imaging/Picture.h"
#include "imaging/PngWriter.h"
#include "model/Gltf.h"

namespace quorin {

namespace {

// The largest layout drawn without a texture: 256 MiB of pixels.
constexpr int MaxLayoutSize = 8192;
constexpr std::uint32_t LinesOnSheet = 0xFF000000;    // black on a transparent sheet
constexpr std::uint32_t LinesOnTexture = 0xFFFFFFFF;  // white over the texture

// The shortest text that reads back as the same float: 3.2, not 3.2000000476837.
std::string FloatText(float value)
{
    char text[32];
    auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

double JsonNumber(float value) { return std::stod(FloatText(value)); }

std::string Plural(std::uint64_t count, std::string_view word, std::string_view plural = {})
{
    std::string many = plural.empty() ? std::string(word) + "s" : std::string(plural);
    return std::to_string(count) + " " + (count == 1 ? std::string(word) : many);
}

std::string_view KindText(TCasMeshKind kind)
{
    switch (kind) {
    case TCasMeshKind::Rigid:
        return "rigid";
    case TCasMeshKind::OneBone:
        return "one bone per vertex";
    case TCasMeshKind::TwoBone:
        break;
    }
    return "two bones per vertex";
}

std::string_view KindKey(TCasMeshKind kind)
{
    switch (kind) {
    case TCasMeshKind::Rigid:
        return "rigid";
    case TCasMeshKind::OneBone:
        return "one-bone";
    case TCasMeshKind::TwoBone:
        break;
    }
    return "two-bone";
}

// The bones a mesh hangs on, in order, each once.
std::vector<std::uint32_t> MeshBones(const TCasMesh& mesh)
{
    if (mesh.Kind == TCasMeshKind::Rigid)
        return {mesh.Bone};
    std::set<std::uint32_t> bones(mesh.Bones.begin(), mesh.Bones.end());
    bones.insert(mesh.FirstBones.begin(), mesh.FirstBones.end());
    bones.insert(mesh.SecondBones.begin(), mesh.SecondBones.end());
    return {bones.begin(), bones.end()};
}

std::string MaterialText(const TCasMaterial& material)
{
    if (material.Named == 0)
        return "(no name, no texture)";
    std::string text(material.Name.empty() ? "(no name)" : material.Name);
    text += ": ";
    text += material.Texture.empty() ? "(no texture)" : material.Texture;
    return text;
}

void PrintModel(const TModelOptions& options, std::size_t fileSize, const TCasModel& model, std::ostream& out)
{
    auto field = [&out](std::string_view name, std::string_view value) {
        out << name << std::string(18 - std::min<std::size_t>(17, name.size()), ' ') << value << '\n';
    };
    field("Model file:", options.Model + " (" + Plural(fileSize, "byte") + ")");
    field("Version:", FloatText(model.Header.Version));
    field("Animation:", FloatText(model.Header.AnimationSeconds) + " seconds, " + Plural(model.KeyTimes.size(), "key"));
    field("Export history:", model.HasExportHistory ? model.ExportHistory : std::string_view("(none)"));

    field("Bones:", std::to_string(model.Nodes.size()));
    for (std::size_t i = 0; i < model.Nodes.size(); ++i) {
        const auto& node = model.Nodes[i];
        out << "  " << i << ". " << node.Name;
        if (node.Parent != CasNoParent)
            out << " (parent " << node.Parent << ", " << model.Nodes[node.Parent].Name << ")";
        out << '\n';
    }

    field("Meshes:", std::to_string(model.Meshes.size()));
    for (std::size_t i = 0; i < model.Meshes.size(); ++i) {
        const auto& mesh = model.Meshes[i];
        const auto bones = MeshBones(mesh);
        out << "  " << i << ". " << mesh.Name << ": " << KindText(mesh.Kind) << " ("
            << (bones.empty() ? "no bone" : bones.size() == 1 ? "bone " : "bones ");
        for (std::size_t b = 0; b < bones.size(); ++b)
            out << (b ? ", " : "") << bones[b];
        out << "), " << Plural(mesh.VertexCount, "vertex", "vertices") << ", " << Plural(mesh.TriangleCount, "triangle")
            << ", " << (mesh.Material == CasNoMaterial ? std::string("no material") : "material " + std::to_string(mesh.Material))
            << '\n';
    }

    field("Materials:", std::to_string(model.Materials.size()));
    for (std::size_t i = 0; i < model.Materials.size(); ++i)
        out << "  " << i << ". " << MaterialText(model.Materials[i]) << '\n';

    const TCasTotals totals = CasTotals(model);
    field("Totals:", Plural(totals.Vertices, "vertex", "vertices") + ", " + Plural(totals.Triangles, "triangle") + ", " +
                         Plural(totals.Bones, "bone") + ", " + Plural(model.Meshes.size(), "mesh", "meshes") + ", " +
                         Plural(model.Materials.size(), "material"));
    field("Two-bone meshes:", Plural(totals.TwoBoneVertices, "vertex", "vertices") + ", " +
                                  std::to_string(totals.LargestTwoBoneMesh) + " in the largest");
}

nlohmann::json ModelJson(const TModelOptions& options, std::size_t fileSize, const TCasModel& model)
{
    nlohmann::json json = {
        {"file", options.Model},
        {"file_size", fileSize},
        {"version", JsonNumber(model.Header.Version)},
        {"animation_seconds", JsonNumber(model.Header.AnimationSeconds)},
        {"keys", model.KeyTimes.size()},
        {"export_history", model.HasExportHistory ? nlohmann::json(model.ExportHistory) : nlohmann::json()},
    };
    json["bones"] = nlohmann::json::array();
    for (const auto& node : model.Nodes)
        json["bones"].push_back(
            {{"name", node.Name}, {"parent", node.Parent == CasNoParent ? nlohmann::json() : nlohmann::json(node.Parent)}});
    json["meshes"] = nlohmann::json::array();
    for (const auto& mesh : model.Meshes)
        json["meshes"].push_back({{"name", mesh.Name},
                                  {"kind", KindKey(mesh.Kind)},
                                  {"bones", MeshBones(mesh)},
                                  {"vertices", mesh.VertexCount},
                                  {"triangles", mesh.TriangleCount},
                                  {"uv", mesh.HasUV},
                                  {"colours", mesh.HasColour},
                                  {"material", mesh.Material == CasNoMaterial ? nlohmann::json() : nlohmann::json(mesh.Material)}});
    json["materials"] = nlohmann::json::array();
    for (const auto& material : model.Materials)
        json["materials"].push_back({{"name", material.Named ? nlohmann::json(material.Name) : nlohmann::json()},
                                     {"texture", material.Named ? nlohmann::json(material.Texture) : nlohmann::json()}});
    const TCasTotals totals = CasTotals(model);
    json["totals"] = {{"vertices", totals.Vertices},
                      {"triangles", totals.Triangles},
                      {"bones", totals.Bones},
                      {"meshes", model.Meshes.size()},
                      {"materials", model.Materials.size()},
                      {"two_bone_vertices", totals.TwoBoneVertices},
                      {"largest_two_bone_mesh", totals.LargestTwoBoneMesh}};
    return json;
}

// Cuts the segment to the box [0, width] x [0, height] (Liang and Barsky);
// false when nothing of it is inside or a coordinate is not a number.
bool ClipToBox(double& x0, double& y0, double& x1, double& y1, double width, double height)
{
    if (!std::isfinite(x0) || !std::isfinite(y0) || !std::isfinite(x1) || !std::isfinite(y1))
        return false;
    const double dx = x1 - x0, dy = y1 - y0;
    double enter = 0, leave = 1;
    auto side = [&](double p, double q) {
        if (p == 0)
            return q >= 0;
        const double t = q / p;
        if (p < 0)
            enter = std::max(enter, t);
        else
            leave = std::min(leave, t);
        return enter <= leave;
    };
    if (!side(-dx, x0) || !side(dx, width - x0) || !side(-dy, y0) || !side(dy, height - y0))
        return false;
    x1 = x0 + leave * dx;
    y1 = y0 + leave * dy;
    x0 += enter * dx;
    y0 += enter * dy;
    return true;
}

void Plot(TBitmap& picture, int x, int y, std::uint32_t colour)
{
    std::uint8_t* pixel = picture.RowAddress(y) + 4 * static_cast<std::size_t>(x);
    pixel[0] = static_cast<std::uint8_t>(colour);
    pixel[1] = static_cast<std::uint8_t>(colour >> 8);
    pixel[2] = static_cast<std::uint8_t>(colour >> 16);
    pixel[3] = static_cast<std::uint8_t>(colour >> 24);
}

void DrawEdge(TBitmap& picture, double x0, double y0, double x1, double y1, std::uint32_t colour)
{
    const int width = picture.Width(), height = picture.Height();
    if (!ClipToBox(x0, y0, x1, y1, width, height))
        return;
    // u = 1 and v = 1 lie on the far border: they belong to the last pixel.
    auto column = [width](double x) { return std::clamp(static_cast<int>(std::floor(x)), 0, width - 1); };
    auto row = [height](double y) { return std::clamp(static_cast<int>(std::floor(y)), 0, height - 1); };
    int x = column(x0), y = row(y0);
    const int xEnd = column(x1), yEnd = row(y1);
    const int dx = std::abs(xEnd - x), dy = -std::abs(yEnd - y);
    const int stepX = x < xEnd ? 1 : -1, stepY = y < yEnd ? 1 : -1;
    int error = dx + dy;
    for (;;) {
        Plot(picture, x, y, colour);
        if (x == xEnd && y == yEnd)
            break;
        const int twice = 2 * error;
        if (twice >= dy) {
            error += dy;
            x += stepX;
        }
        if (twice <= dx) {
            error += dx;
            y += stepY;
        }
    }
}

// The texture as a 32-bit picture, the layout's canvas.
std::unique_ptr<TBitmap> LoadTexture(const std::string& path)
{
    TPicture picture;
    picture.LoadByExtension(path);
    std::unique_ptr<TBitmap> rendered;
    const auto* bitmap = dynamic_cast<const TBitmap*>(picture.Graphic());
    if (!bitmap) {
        rendered = RenderToBitmap(*picture.Graphic());
        if (!rendered)
            throw Exception("This build of quorin cannot draw " + std::string(picture.Graphic()->ClassType().Name) +
                            " pictures");
        bitmap = rendered.get();
    }
    auto canvas = std::make_unique<TBitmap>();
    canvas->Assign(*bitmap);
    canvas->SetPixelDepth(32);
    return canvas;
}

std::unique_ptr<TBitmap> TransparentSheet(int size)
{
    auto canvas = std::make_unique<TBitmap>();
    canvas->SetPixelDepth(32);
    canvas->SetSize(size, size);
    for (int y = 0; y < size; ++y)
        std::fill_n(canvas->RowAddress(y), static_cast<std::size_t>(canvas->RowStride()), std::uint8_t{0});
    canvas->SetAlphaChannel(true);
    return canvas;
}

void SaveBytes(const std::string& path, std::span<const std::uint8_t> bytes)
{
    TSaveFileStream file(path);  // "Cannot create file %s"
    file.WriteBuffer(bytes.data(), static_cast<std::int64_t>(bytes.size()));
    file.Commit();
}

// What --gltf wrote, for the summary.
struct TGltfWritten {
    std::string Texture;  // the embedded texture's file, or why there is none
    bool Embedded = false;
    std::size_t Size = 0;
};

TGltfWritten ExportGltf(const TModelOptions& options, const TCasModel& model)
{
    TGltfWritten written;
    std::string texture = options.Texture;
    if (texture.empty())
        texture = TextureBesideModel(model, options.Model, written.Texture);
    std::vector<std::uint8_t> png;
    if (!texture.empty()) {
        const auto picture = LoadTexture(texture);
        png = PngBytes(*picture, picture->HasAlphaChannel());
        written.Texture = texture;
        written.Embedded = true;
    }
    const auto bytes = WriteGltf(model, png, GltfContainerFor(options.GltfOutput));
    SaveBytes(options.GltfOutput, bytes);
    written.Size = bytes.size();
    return written;
}

// The two-bone limits, in the words quorin check uses for them.
void WarnTwoBoneLimits(const TCasModel& model, std::ostream& err)
{
    for (const TCasMesh& mesh : model.Meshes)
        if (mesh.Kind == TCasMeshKind::TwoBone && mesh.VertexCount > CasMaxTwoBoneMeshVertices)
            err << "Warning: "
                << MakeFinding(TCheck::ModelTwoBoneMesh, {mesh.Name, std::to_string(mesh.VertexCount)}).Message << '\n';
    if (const auto total = CasTotals(model).TwoBoneVertices; total > CasMaxTwoBoneModelVertices)
        err << "Warning: " << MakeFinding(TCheck::ModelTwoBoneTotal, {std::to_string(total)}).Message << '\n';
}

// The glTF input as a model file's bytes, written to --cas when given.
std::vector<std::uint8_t> ConvertGltf(const TModelOptions& options, std::span<const std::uint8_t> bytes,
                                      std::ostream& err)
{
    TGltfImport imported = ReadGltf(bytes, options.Model);
    for (const auto& warning : imported.Warnings)
        err << "Warning: " << warning << '\n';
    WarnTwoBoneLimits(ReadCasModel(imported.Cas, options.Model, TCasDetail::Counts), err);
    if (!options.CasOutput.empty())
        SaveBytes(options.CasOutput, imported.Cas);
    return std::move(imported.Cas);
}

} // namespace

std::string TextureBesideModel(const TCasModel& model, const std::string& modelPath, std::string& reason)
{
    std::string_view named;
    for (const auto& material : model.Materials)
        if (material.Named != 0 && !material.Texture.empty()) {
            named = material.Texture;
            break;
        }
    if (named.empty()) {
        reason = "none: the model names no texture";
        return {};
    }
    const auto slash = named.find_last_of("\\/");
    const std::string file = std::string(slash == std::string_view::npos ? named : named.substr(slash + 1)) + ".dds";
    std::string lower = file;
    for (auto& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const auto folder = std::filesystem::path(modelPath).parent_path() / "textures";
    for (const auto& candidate : {file, lower}) {
        std::error_code error;
        const auto path = folder / candidate;
        if (std::filesystem::is_regular_file(path, error))
            return path.string();
    }
    reason = "none: " + (folder / file).string() + " is not beside the model (give one with --texture)";
    return {};
}

void DrawUvLayout(const TCasModel& model, TBitmap& picture, std::uint32_t colour)
{
    const double width = picture.Width(), height = picture.Height();
    if (width <= 0 || height <= 0)
        return;
    for (const auto& mesh : model.Meshes) {
        if (!mesh.HasUV)
            continue;
        for (std::size_t t = 0; t + 2 < mesh.Indices.size(); t += 3)
            for (std::size_t corner = 0; corner < 3; ++corner) {
                const std::size_t a = mesh.Indices[t + corner], b = mesh.Indices[t + (corner + 1) % 3];
                DrawEdge(picture, mesh.UVs[2 * a] * width, mesh.UVs[2 * a + 1] * height, mesh.UVs[2 * b] * width,
                         mesh.UVs[2 * b + 1] * height, colour);
            }
    }
}

CLI::App* AddModelCommand(CLI::App& app, TModelOptions& options)
{
    auto* model = app.add_subcommand("model", "Show what a battle model (.cas) holds; draw its texture layout");
    model->add_option("model", options.Model, "X.cas")->required();
    model->add_flag("--json", options.Json, "Print JSON");
    auto* uv = model->add_option("--uv", options.UvOutput, "OUT.png: draw every triangle's edges in UV space");
    auto* size = model->add_option("--size", options.Size, "N: the layout's width and height without a texture (1024)")
                     ->check(CLI::Range(1, MaxLayoutSize))
                     ->needs(uv);
    auto* gltf = model->add_option("--gltf", options.GltfOutput,
                                   "OUT.glb or OUT.gltf: write the model as glTF 2.0, its texture embedded");
    model->add_option("--cas", options.CasOutput, "OUT.cas: the glTF model given (IN.glb or IN.gltf) as a battle model");
    model->add_option("--texture", options.Texture,
                      "T.dds: draw the layout over this texture, at its size, or embed it in the glTF")
        ->excludes(size);
    model->callback([uv, gltf, model] {
        if (model->count("--texture") > 0 && uv->count() == 0 && gltf->count() == 0)
            throw CLI::RequiresError("--texture", "--uv or --gltf");
    });
    return model;
}

int RunModel(const TModelOptions& given, std::ostream& out, std::ostream& err)
{
    try {
        TModelOptions options = given;
        TMemoryStream file;
        file.LoadFromFile(options.Model);
        std::span<const std::uint8_t> bytes(file.Memory(), static_cast<std::size_t>(file.Size()));
        std::vector<std::uint8_t> converted;
        if (IsGltfFileName(options.Model)) {
            converted = ConvertGltf(options, bytes, err);
            bytes = converted;
            if (!options.CasOutput.empty())
                options.Model = options.CasOutput;  // the summary is of the model written
        } else if (!options.CasOutput.empty()) {
            throw Exception("--cas makes a battle model of a glTF file (.glb or .gltf); " + options.Model +
                            " is not one");
        }
        const auto fileSize = bytes.size();
        TCasModel model = ReadCasModel(bytes, options.Model);

        nlohmann::json layout;
        if (!options.UvOutput.empty()) {
            const bool onTexture = !options.Texture.empty();
            auto canvas = onTexture ? LoadTexture(options.Texture) : TransparentSheet(options.Size);
            DrawUvLayout(model, *canvas, onTexture ? LinesOnTexture : LinesOnSheet);
            WritePng(*canvas, options.UvOutput, !onTexture);
            layout = {{"file", options.UvOutput}, {"width", canvas->Width()}, {"height", canvas->Height()}};
        }

        nlohmann::json gltf;
        if (!options.GltfOutput.empty()) {
            const TGltfWritten written = ExportGltf(options, model);
            gltf = {{"file", options.GltfOutput},
                    {"size", written.Size},
                    {"texture", written.Embedded ? nlohmann::json(written.Texture) : nlohmann::json()}};
            if (!written.Embedded)
                err << "No texture embedded in " << options.GltfOutput << ": " << written.Texture << '\n';
        }

        if (options.Json) {
            auto json = ModelJson(options, fileSize, model);
            if (!layout.is_null())
                json["uv_layout"] = layout;
            if (!gltf.is_null())
                json["gltf"] = gltf;
            out << json.dump(2) << '\n';
        } else {
            PrintModel(options, fileSize, model, out);
            if (!layout.is_null())
                out << "UV layout (" << layout["width"] << "x" << layout["height"] << ") written to " << options.UvOutput
                    << '\n';
            if (!gltf.is_null())
                out << "glTF written to " << options.GltfOutput << " (" << Plural(gltf["size"].get<std::size_t>(), "byte")
                    << (gltf["texture"].is_null() ? std::string(", no texture")
                                                  : ", texture " + gltf["texture"].get<std::string>())
                    << ")\n";
        }
        return 0;
    } catch (const Exception& e) {
        err << e.Message() << '\n';
        return 1;
    }
}

} // namespace quorin
