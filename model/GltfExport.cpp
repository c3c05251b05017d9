// The way out: a battle model as one glTF 2.0 file.

#include <algorithm>
#include <cctype>
#include <cstring>
#include <limits>

#include "Base64.h"
#include "Gltf.h"
#include "GltfShared.h"
#include "RestPose.h"

namespace quorin {

namespace {

using gltf::FloatJson;
using gltf::json;

constexpr int ArrayBuffer = 34962;
constexpr int ElementArrayBuffer = 34963;
// Normals further than this from unit length are written normalised (the
// validator's own tolerance is wider), their stored values kept in extras.
constexpr float NormalTolerance = 0.0002f;

std::string Lower(std::string_view text)
{
    std::string lower(text);
    for (auto& c : lower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower;
}

// The file part of a texture path as the model names it, in lower case.
std::string TextureKey(std::string_view path)
{
    const auto slash = path.find_last_of("\\/");
    return Lower(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

template <typename T, std::size_t N>
json ArrayJson(const std::array<T, N>& values)
{
    json array = json::array();
    for (const T& value : values) {
        if constexpr (std::is_same_v<T, float>)
            array.push_back(FloatJson(value));
        else
            array.push_back(value);
    }
    return array;
}

template <typename T>
std::string ArrayBase64(TCasArray<T> values)
{
    return EncodeBase64({reinterpret_cast<const std::uint8_t*>(values.data()), values.size_bytes()});
}

bool SameBits(float a, float b) { return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b); }

// The one binary buffer, its views and its accessors.
class TBuffer {
public:
    json Views = json::array();
    json Accessors = json::array();
    std::vector<std::uint8_t> Bytes;

    std::size_t View(const void* data, std::size_t size, int target)
    {
        Bytes.resize((Bytes.size() + 3) & ~std::size_t{3}, 0);
        json view = {{"buffer", 0}, {"byteOffset", Bytes.size()}, {"byteLength", size}};
        if (target != 0)
            view["target"] = target;
        const auto* from = static_cast<const std::uint8_t*>(data);
        Bytes.insert(Bytes.end(), from, from + size);
        Views.push_back(std::move(view));
        return Views.size() - 1;
    }

    template <typename T>
    std::size_t Accessor(const std::vector<T>& values, int componentType, std::size_t perElement, const char* type,
                         int target, bool normalized = false)
    {
        const std::size_t view = View(values.data(), values.size() * sizeof(T), target);
        json accessor = {{"bufferView", view},
                         {"componentType", componentType},
                         {"count", values.size() / perElement},
                         {"type", type}};
        if (normalized)
            accessor["normalized"] = true;
        Accessors.push_back(std::move(accessor));
        return Accessors.size() - 1;
    }

    // Float vectors carry their bounds, which glTF requires of positions.
    std::size_t Vectors(const std::vector<float>& values, std::size_t perElement, const char* type, bool bounds)
    {
        const std::size_t index = Accessor(values, gltf::Float, perElement, type, ArrayBuffer);
        if (bounds) {
            std::vector<float> low(perElement, std::numeric_limits<float>::infinity());
            std::vector<float> high(perElement, -std::numeric_limits<float>::infinity());
            for (std::size_t i = 0; i < values.size(); ++i) {
                low[i % perElement] = std::min(low[i % perElement], values[i]);
                high[i % perElement] = std::max(high[i % perElement], values[i]);
            }
            json min = json::array(), max = json::array();
            for (std::size_t c = 0; c < perElement; ++c) {
                min.push_back(static_cast<double>(low[c]));
                max.push_back(static_cast<double>(high[c]));
            }
            Accessors[index]["min"] = std::move(min);
            Accessors[index]["max"] = std::move(max);
        }
        return index;
    }
};

class TExporter {
public:
    TExporter(const TCasModel& model, std::span<const std::uint8_t> png)
        : model_(model), png_(png), nodes_(CasRestPose(model).NodePositions)
    {
    }

    std::pair<json, std::vector<std::uint8_t>> Export()
    {
        if (model_.Nodes.empty())
            throw EGltfError("Cannot write a model without nodes as glTF");
        root_["asset"] = {{"version", "2.0"}, {"generator", "quorin"}};
        root_["scene"] = 0;
        WriteNodes();
        WriteSkin();
        WriteMaterials();
        json sceneNodes = {0};
        for (std::size_t i = 0; i < model_.Meshes.size(); ++i)
            if (auto node = WriteMesh(i); node.second)
                sceneNodes.push_back(node.first);
        root_["scenes"] = json::array({{{"nodes", sceneNodes}, {"extras", {{gltf::ExtrasKey, ModelExtras()}}}}});
        root_["nodes"] = std::move(nodes_json_);
        root_["meshes"] = std::move(meshes_);
        root_["accessors"] = std::move(buffer_.Accessors);
        root_["bufferViews"] = std::move(buffer_.Views);
        root_["buffers"] = json::array({{{"byteLength", buffer_.Bytes.size()}}});
        return {std::move(root_), std::move(buffer_.Bytes)};
    }

private:
    void WriteNodes()
    {
        nodes_json_ = json::array();
        for (const auto& node : model_.Nodes) {
            json out = {{"name", node.Name}};
            for (float value : {node.Pivot.X, node.Pivot.Y, node.Pivot.Z})
                if (!std::isfinite(value))
                    throw EGltfError("Cannot write node \"" + std::string(node.Name) +
                                     "\" as glTF: its position is not a number");
            if (node.Pivot.X != 0 || node.Pivot.Y != 0 || node.Pivot.Z != 0)
                out["translation"] = {node.Pivot.X, node.Pivot.Y, node.Pivot.Z};
            nodes_json_.push_back(std::move(out));
        }
        for (std::size_t i = 1; i < model_.Nodes.size(); ++i)
            nodes_json_[model_.Nodes[i].Parent]["children"].push_back(i);
    }

    // One skin over every node, the root first, so that a joint's index is
    // its node's index; each bind matrix moves its node's rest place to the
    // origin, as the model's nodes carry no rest rotation.
    void WriteSkin()
    {
        std::vector<float> matrices;
        matrices.reserve(model_.Nodes.size() * 16);
        json joints = json::array();
        for (std::size_t i = 0; i < model_.Nodes.size(); ++i) {
            const auto& at = nodes_[i];
            matrices.insert(matrices.end(), {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, -at.X, -at.Y, -at.Z, 1});
            joints.push_back(i);
        }
        const std::size_t inverse = buffer_.Accessor(matrices, gltf::Float, 16, "MAT4", 0);
        root_["skins"] = json::array({{{"joints", joints}, {"skeleton", 0}, {"inverseBindMatrices", inverse}}});
    }

    void WriteMaterials()
    {
        std::string shown;  // the texture the picture belongs to
        for (const auto& material : model_.Materials)
            if (material.Named != 0 && !material.Texture.empty()) {
                shown = TextureKey(material.Texture);
                break;
            }
        const bool textured = !png_.empty() && !shown.empty();
        if (textured) {
            const std::size_t view = buffer_.View(png_.data(), png_.size(), 0);
            root_["images"] = json::array({{{"bufferView", view}, {"mimeType", "image/png"}}});
            root_["samplers"] = json::array({{{"magFilter", 9729}, {"minFilter", 9987}}});
            root_["textures"] = json::array({{{"source", 0}, {"sampler", 0}}});
        }
        json materials = json::array();
        for (const auto& material : model_.Materials) {
            json out = {{"pbrMetallicRoughness", {{"metallicFactor", 0.0}, {"roughnessFactor", 1.0}}}};
            if (material.Named != 0 && !material.Name.empty())
                out["name"] = material.Name;
            if (textured && material.Named != 0 && TextureKey(material.Texture) == shown)
                out["pbrMetallicRoughness"]["baseColorTexture"] = {{"index", 0}};
            json extras = {{"named", material.Named},
                           {"diffuse", ArrayJson(material.Diffuse)},
                           {"specular", ArrayJson(material.Specular)},
                           {"tail", EncodeBase64(material.Tail)}};
            if (material.Named != 0)
                extras["texture"] = material.Texture;
            out["extras"] = {{gltf::ExtrasKey, std::move(extras)}};
            materials.push_back(std::move(out));
        }
        if (!materials.empty())
            root_["materials"] = std::move(materials);
    }

    // The mesh and the node that places it; the node is the scene's (true)
    // for skinned meshes, its bone's child for rigid ones.
    std::pair<std::size_t, bool> WriteMesh(std::size_t index)
    {
        const TCasMesh& mesh = model_.Meshes[index];
        const std::string name(mesh.Name);
        if (mesh.VertexCount == 0 || mesh.TriangleCount == 0)
            throw EGltfError("Cannot write mesh \"" + name + "\" as glTF: it has no " +
                             (mesh.VertexCount == 0 ? "vertices" : "triangles"));
        const bool rigid = mesh.Kind == TCasMeshKind::Rigid;
        gltf::TFingerprint fingerprint;
        json fixes = json::object();
        json attributes;

        std::vector<float> positions = Positions(mesh, fixes["positions"]);
        attributes["POSITION"] = buffer_.Vectors(positions, 3, "VEC3", true);
        fingerprint.AddValues(std::span<const float>(positions));

        std::vector<float> normals = Normals(mesh, fixes["normals"]);
        attributes["NORMAL"] = buffer_.Vectors(normals, 3, "VEC3", false);
        fingerprint.AddValues(std::span<const float>(normals));

        if (mesh.HasUV) {
            std::vector<float> uvs = UVs(mesh, fixes["uvs"]);
            attributes["TEXCOORD_0"] = buffer_.Vectors(uvs, 2, "VEC2", false);
            fingerprint.AddValues(std::span<const float>(uvs));
        }
        if (!rigid)
            WriteSkinning(mesh, attributes, fixes["skin"], fingerprint);

        std::vector<std::uint16_t> indices(mesh.Indices.begin(), mesh.Indices.end());
        json primitive = {{"attributes", attributes},
                          {"indices", buffer_.Accessor(indices, gltf::UnsignedShort, 1, "SCALAR", ElementArrayBuffer)},
                          {"mode", gltf::Triangles}};
        fingerprint.AddValues(std::span<const std::uint16_t>(indices));
        if (mesh.Material != CasNoMaterial)
            primitive["material"] = mesh.Material;

        for (auto it = fixes.begin(); it != fixes.end();)
            it = it->is_null() ? fixes.erase(it) : std::next(it);
        json extras = {{"index", index},
                       {"name", name},
                       {"kind", static_cast<std::uint32_t>(mesh.Kind)},
                       {"properties", mesh.Properties},
                       {"placement", ArrayJson(mesh.Placement)},
                       {"trailer", mesh.Trailer},
                       {"hasUV", mesh.HasUV},
                       {"material", mesh.Material == CasNoMaterial ? json() : json(mesh.Material)},
                       {"fingerprint", fingerprint.Text()},
                       {"fixes", std::move(fixes)}};
        if (rigid)
            extras.update({{"rigidFixed", mesh.RigidFixed}, {"rigidFlag", mesh.RigidFlag}});
        if (mesh.HasColour)
            extras["colours"] = ArrayBase64(mesh.Colours);
        meshes_.push_back(
            {{"name", name}, {"primitives", json::array({primitive})}, {"extras", {{gltf::ExtrasKey, extras}}}});

        json node = {{"name", name}, {"mesh", meshes_.size() - 1}};
        if (!rigid)
            node["skin"] = 0;
        nodes_json_.push_back(std::move(node));
        const std::size_t nodeIndex = nodes_json_.size() - 1;
        if (rigid)
            nodes_json_[mesh.Bone]["children"].push_back(nodeIndex);
        return {nodeIndex, !rigid};
    }

    // Rigid meshes keep their stored positions, their node standing at their
    // bone; skinned ones stand in the rest pose. Where taking the bone's
    // place off again would not give the stored value to the bit, the stored
    // value goes in the fixes.
    std::vector<float> Positions(const TCasMesh& mesh, json& fixes) const
    {
        std::vector<float> out(mesh.Positions.begin(), mesh.Positions.end());
        for (float value : out)
            if (!std::isfinite(value))
                throw EGltfError("Cannot write mesh \"" + std::string(mesh.Name) +
                                 "\" as glTF: a vertex position is not a number");
        if (mesh.Kind == TCasMeshKind::Rigid)
            return out;
        for (std::size_t v = 0; v < mesh.VertexCount; ++v) {
            const TCasVector base = CasVertexBase(mesh, v, nodes_);
            float* p = &out[3 * v];
            p[0] += base.X;
            p[1] += base.Y;
            p[2] += base.Z;
            if (!SameBits(p[0] - base.X, mesh.Positions[3 * v]) || !SameBits(p[1] - base.Y, mesh.Positions[3 * v + 1]) ||
                !SameBits(p[2] - base.Z, mesh.Positions[3 * v + 2]))
                fixes.push_back({v, mesh.Positions[3 * v], mesh.Positions[3 * v + 1], mesh.Positions[3 * v + 2]});
        }
        return out;
    }

    // UVs that are not numbers (seen in vegetation models) go as 0, their
    // stored bits in the fixes.
    static std::vector<float> UVs(const TCasMesh& mesh, json& fixes)
    {
        std::vector<float> out(mesh.UVs.begin(), mesh.UVs.end());
        for (std::size_t v = 0; v < mesh.VertexCount; ++v) {
            float* uv = &out[2 * v];
            if (std::isfinite(uv[0]) && std::isfinite(uv[1]))
                continue;
            fixes.push_back({v, FloatJson(uv[0]), FloatJson(uv[1])});
            for (int c = 0; c < 2; ++c)
                uv[c] = std::isfinite(uv[c]) ? uv[c] : 0.0f;
        }
        return out;
    }

    static std::vector<float> Normals(const TCasMesh& mesh, json& fixes)
    {
        std::vector<float> out(mesh.Normals.begin(), mesh.Normals.end());
        for (std::size_t v = 0; v < mesh.VertexCount; ++v) {
            float* n = &out[3 * v];
            const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
            if (std::isfinite(length) && std::abs(length - 1) <= NormalTolerance)
                continue;
            fixes.push_back({v, FloatJson(n[0]), FloatJson(n[1]), FloatJson(n[2])});
            if (std::isfinite(length) && length > 0) {
                for (int c = 0; c < 3; ++c)
                    n[c] /= length;
            } else {
                n[0] = 0, n[1] = 1, n[2] = 0;
            }
        }
        return out;
    }

    // Joints are node indices (the skin lists every node in order). A
    // two-bone vertex gives its first bone the weight and its second the
    // rest; where glTF would not take that (one bone twice, a weight outside
    // 0..1), the vertex is written fully on its first bone and its fields go
    // in the fixes.
    void WriteSkinning(const TCasMesh& mesh, json& attributes, json& fixes, gltf::TFingerprint& fingerprint)
    {
        const std::size_t n = mesh.VertexCount;
        std::vector<std::uint16_t> joints(4 * n, 0);
        std::vector<float> weights(4 * n, 0);
        for (std::size_t v = 0; v < n; ++v) {
            if (mesh.Kind == TCasMeshKind::OneBone) {
                joints[4 * v] = static_cast<std::uint16_t>(mesh.Bones[v]);
                weights[4 * v] = 1;
                continue;
            }
            const std::uint32_t first = mesh.FirstBones[v], second = mesh.SecondBones[v];
            const float w = mesh.Weights[v];
            joints[4 * v] = static_cast<std::uint16_t>(first);
            if (first != second && w >= 0 && w <= 1) {
                joints[4 * v + 1] = static_cast<std::uint16_t>(second);
                weights[4 * v] = w;
                weights[4 * v + 1] = 1 - w;
            } else {
                weights[4 * v] = 1;
                fixes.push_back({v, first, second, FloatJson(w)});
            }
        }
        if (model_.Nodes.size() <= 256) {
            std::vector<std::uint8_t> small(joints.begin(), joints.end());
            attributes["JOINTS_0"] = buffer_.Accessor(small, gltf::UnsignedByte, 4, "VEC4", ArrayBuffer);
            fingerprint.AddValues(std::span<const std::uint8_t>(small));
        } else {
            attributes["JOINTS_0"] = buffer_.Accessor(joints, gltf::UnsignedShort, 4, "VEC4", ArrayBuffer);
            fingerprint.AddValues(std::span<const std::uint16_t>(joints));
        }
        attributes["WEIGHTS_0"] = buffer_.Accessor(weights, gltf::Float, 4, "VEC4", ArrayBuffer);
        fingerprint.AddValues(std::span<const float>(weights));
    }

    json ModelExtras() const
    {
        const auto& header = model_.Header;
        json nodes = json::array();
        for (const auto& node : model_.Nodes)
            nodes.push_back({{"name", node.Name},
                             {"parent", node.Parent == CasNoParent ? json() : json(node.Parent)},
                             {"pivot", {FloatJson(node.Pivot.X), FloatJson(node.Pivot.Y), FloatJson(node.Pivot.Z)}},
                             {"rotationKeys", node.RotationKeys},
                             {"positionKeys", node.PositionKeys},
                             {"rotationOffset", node.RotationOffset},
                             {"positionOffset", node.PositionOffset},
                             {"reserved", node.Reserved},
                             {"properties", node.Properties}});
        json chunks = json::array();
        for (const auto& chunk : model_.Chunks) {
            json out = {{"kind", chunk.Kind}};
            if (chunk.Kind >= 1 && chunk.Kind <= 3)
                out.update({{"meshCount", chunk.MeshCount},
                            {"trailerShort", chunk.TrailerShort},
                            {"trailerCount", chunk.TrailerCount}});
            if (!chunk.Payload.empty())
                out["payload"] = ArrayBase64(chunk.Payload);
            chunks.push_back(std::move(out));
        }
        return {{"version", FloatJson(header.Version)},
                {"fixed", ArrayJson(header.Fixed)},
                {"animationSeconds", FloatJson(header.AnimationSeconds)},
                {"fixed2", ArrayJson(header.Fixed2)},
                {"firstColour", ArrayJson(header.FirstColour)},
                {"integers", ArrayJson(header.Integers)},
                {"secondColour", ArrayJson(header.SecondColour)},
                {"exportHistory", model_.HasExportHistory ? json(model_.ExportHistory) : json()},
                {"nodeReserved", model_.NodeReserved},
                {"keyTimes", ArrayBase64(model_.KeyTimes)},
                {"keyData", ArrayBase64(model_.KeyData)},
                {"nodes", std::move(nodes)},
                {"chunks", std::move(chunks)}};
    }

    const TCasModel& model_;
    std::span<const std::uint8_t> png_;
    std::vector<TCasVector> nodes_;  // rest places
    json root_;
    json nodes_json_;
    json meshes_ = json::array();
    TBuffer buffer_;
};

void AppendLittle32(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::vector<std::uint8_t> Binary(std::string text, std::vector<std::uint8_t> buffer)
{
    text.resize((text.size() + 3) & ~std::size_t{3}, ' ');
    buffer.resize((buffer.size() + 3) & ~std::size_t{3}, 0);
    const std::uint64_t total = 12 + 8 + text.size() + 8 + buffer.size();
    if (total > std::numeric_limits<std::uint32_t>::max())
        throw EGltfError("Cannot write the model as .glb: it would be larger than 4 GiB");
    std::vector<std::uint8_t> out;
    out.reserve(static_cast<std::size_t>(total));
    AppendLittle32(out, 0x46546C67);  // "glTF"
    AppendLittle32(out, 2);
    AppendLittle32(out, static_cast<std::uint32_t>(total));
    AppendLittle32(out, static_cast<std::uint32_t>(text.size()));
    AppendLittle32(out, 0x4E4F534A);  // "JSON"
    out.insert(out.end(), text.begin(), text.end());
    AppendLittle32(out, static_cast<std::uint32_t>(buffer.size()));
    AppendLittle32(out, 0x004E4942);  // "BIN"
    out.insert(out.end(), buffer.begin(), buffer.end());
    return out;
}

} // namespace

std::vector<std::uint8_t> WriteGltf(const TCasModel& model, std::span<const std::uint8_t> png, TGltfContainer container)
{
    auto [root, buffer] = TExporter(model, png).Export();
    if (container == TGltfContainer::Binary)
        return Binary(root.dump(), std::move(buffer));
    root["buffers"][0]["uri"] = "data:application/octet-stream;base64," + EncodeBase64(buffer);
    const std::string text = root.dump(1, '\t');
    return {text.begin(), text.end()};
}

bool IsGltfFileName(std::string_view name)
{
    const std::string lower = Lower(name);
    return lower.ends_with(".glb") || lower.ends_with(".gltf");
}

TGltfContainer GltfContainerFor(std::string_view name)
{
    return Lower(name).ends_with(".gltf") ? TGltfContainer::Text : TGltfContainer::Binary;
}

} // namespace quorin
