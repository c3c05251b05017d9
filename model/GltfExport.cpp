// The way out: a battle model as one glTF 2.0 file. The arrays go into the
// one binary buffer first (what the JSON says of them, its fixes and
// fingerprints, comes from them); then the JSON is written straight into
// the output, with no tree in between.

#include <algorithm>
#include <bit>
#include <cctype>
#include <cmath>
#include <cstring>
#include <limits>

#include "Base64.h"
#include "Gltf.h"
#include "GltfShared.h"
#include "JsonWriter.h"
#include "RestPose.h"

namespace quorin {

namespace {

constexpr int ArrayBuffer = 34962;
constexpr int ElementArrayBuffer = 34963;
constexpr int NoTarget = 0;
constexpr std::size_t None = std::numeric_limits<std::size_t>::max();
constexpr std::size_t GlbHead = 20;  // the file's header and the JSON chunk's
constexpr std::string_view DataUri = "data:application/octet-stream;base64,";
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

bool SameBits(float a, float b) { return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b); }

template <typename T>
std::span<const std::uint8_t> AsBytes(std::span<const T> values)
{
    return {reinterpret_cast<const std::uint8_t*>(values.data()), values.size_bytes()};
}

template <typename T, std::size_t N>
void WriteArray(TJsonWriter& json, std::string_view key, const std::array<T, N>& values)
{
    json.Key(key).BeginArray();
    for (const T& value : values) {
        if constexpr (std::is_same_v<T, float>)
            json.Float(value);
        else
            json.Unsigned(value);
    }
    json.EndArray();
}

// The binary buffer, its views and its accessors.
class TBuffer {
public:
    struct TView {
        std::size_t Offset, Length;
        int Target;
    };
    struct TAccessor {
        std::size_t View;
        int ComponentType;
        std::size_t Count;
        const char* Type;
        std::size_t Bounded = 0;  // components given min and max
        std::array<float, 3> Min{}, Max{};
    };

    std::vector<std::uint8_t> Bytes;
    std::vector<TView> Views;
    std::vector<TAccessor> Accessors;

    // A new view of size bytes, at a 4-byte boundary, to be filled.
    std::uint8_t* Take(std::size_t size, int target)
    {
        const std::size_t at = (Bytes.size() + 3) & ~std::size_t{3};
        Bytes.resize(at + size);
        Views.push_back({at, size, target});
        return Bytes.data() + at;
    }

    std::size_t View(std::span<const std::uint8_t> bytes, int target)
    {
        if (!bytes.empty())
            std::memcpy(Take(bytes.size(), target), bytes.data(), bytes.size());
        else
            Take(0, target);
        return Views.size() - 1;
    }

    std::size_t Accessor(int componentType, std::size_t count, const char* type)
    {
        Accessors.push_back({Views.size() - 1, componentType, count, type});
        return Accessors.size() - 1;
    }

    std::span<const std::uint8_t> LastView() const { return {Bytes.data() + Views.back().Offset, Views.back().Length}; }
};

template <typename T>
void Put(std::uint8_t* to, std::size_t index, T value)
{
    std::memcpy(to + index * sizeof(T), &value, sizeof(T));
}

// What a mesh's JSON says, gathered while its arrays go into the buffer.
struct TMeshOut {
    std::size_t Position = None, Normal = None, UV = None, Joints = None, Weights = None, Indices = None;
    std::string Fingerprint;
    // The stored values where the glTF's do not give them back.
    std::vector<std::pair<std::size_t, std::array<float, 3>>> PositionFixes, NormalFixes;
    std::vector<std::pair<std::size_t, std::array<float, 2>>> UVFixes;
    struct TSkinFix {
        std::size_t Vertex;
        std::uint32_t First, Second;
        float Weight;
    };
    std::vector<TSkinFix> SkinFixes;
};

class TExporter {
public:
    TExporter(const TCasModel& model, std::span<const std::uint8_t> png)
        : model_(model), png_(png), places_(CasRestNodePositions(model))
    {
    }

    std::vector<std::uint8_t> Export(TGltfContainer container)
    {
        if (model_.Nodes.empty())
            throw EGltfError("Cannot write a model without nodes as glTF");
        buffer_.Bytes.reserve(BufferEstimate());
        FillSkin();
        FillTexture();
        meshes_.reserve(model_.Meshes.size());
        for (std::size_t i = 0; i < model_.Meshes.size(); ++i)
            meshes_.push_back(FillMesh(i));

        const bool binary = container == TGltfContainer::Binary;
        std::size_t reserve = JsonEstimate();
        reserve += binary ? GlbHead + 8 + buffer_.Bytes.size() : Base64Length(buffer_.Bytes.size());
        TJsonWriter json(!binary, reserve, binary ? GlbHead : 0);
        WriteJson(json, binary);
        return binary ? Glb(json.Bytes()) : std::move(json.Bytes());
    }

private:
    // ---- the buffer ---------------------------------------------------------

    std::size_t BufferEstimate() const
    {
        std::size_t bytes = 64 * model_.Nodes.size() + png_.size() + 16;
        for (const auto& mesh : model_.Meshes)
            bytes += std::size_t{mesh.VertexCount} * 60 + mesh.Indices.size_bytes() + 32;
        return bytes;
    }

    // One skin over every node, the root first, so that a joint's index is
    // its node's index; each bind matrix moves its node's rest place to the
    // origin, as the model's nodes carry no rest rotation.
    void FillSkin()
    {
        std::uint8_t* to = buffer_.Take(model_.Nodes.size() * 64, NoTarget);
        for (std::size_t i = 0; i < model_.Nodes.size(); ++i) {
            const auto& at = places_[i];
            const float matrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, -at.X, -at.Y, -at.Z, 1};
            std::memcpy(to + 64 * i, matrix, 64);
        }
        inverseBind_ = buffer_.Accessor(gltf::Float, model_.Nodes.size(), "MAT4");
    }

    void FillTexture()
    {
        for (const auto& material : model_.Materials)
            if (material.Named != 0 && !material.Texture.empty()) {
                shown_ = TextureKey(material.Texture);
                break;
            }
        if (!png_.empty() && !shown_.empty())
            image_ = buffer_.View(png_, NoTarget);
    }

    TMeshOut FillMesh(std::size_t index)
    {
        const TCasMesh& mesh = model_.Meshes[index];
        if (mesh.VertexCount == 0 || mesh.TriangleCount == 0)
            throw EGltfError("Cannot write mesh \"" + std::string(mesh.Name) + "\" as glTF: it has no " +
                             (mesh.VertexCount == 0 ? "vertices" : "triangles"));
        TMeshOut out;
        gltf::TFingerprint fingerprint;
        out.Position = Positions(mesh, out);
        fingerprint.Add(buffer_.LastView());
        out.Normal = Normals(mesh, out);
        fingerprint.Add(buffer_.LastView());
        if (mesh.HasUV) {
            out.UV = UVs(mesh, out);
            fingerprint.Add(buffer_.LastView());
        }
        if (mesh.Kind != TCasMeshKind::Rigid)
            Skinning(mesh, out, fingerprint);
        buffer_.View(AsBytes(mesh.Indices), ElementArrayBuffer);
        out.Indices = buffer_.Accessor(gltf::UnsignedShort, mesh.Indices.size(), "SCALAR");
        fingerprint.Add(buffer_.LastView());
        out.Fingerprint = fingerprint.Text();
        return out;
    }

    // Rigid meshes keep their stored positions, their node standing at their
    // bone; skinned ones stand in the rest pose. Where taking the bone's
    // place off again would not give the stored value to the bit, the stored
    // value goes in the fixes. Positions carry their bounds, as glTF asks.
    std::size_t Positions(const TCasMesh& mesh, TMeshOut& out)
    {
        for (float value : mesh.Positions)
            if (!std::isfinite(value))
                throw EGltfError("Cannot write mesh \"" + std::string(mesh.Name) +
                                 "\" as glTF: a vertex position is not a number");
        const std::size_t n = mesh.VertexCount;
        std::uint8_t* to = buffer_.Take(12 * n, ArrayBuffer);
        std::array<float, 3> low, high;
        low.fill(std::numeric_limits<float>::infinity());
        high.fill(-std::numeric_limits<float>::infinity());
        const bool rigid = mesh.Kind == TCasMeshKind::Rigid;
        for (std::size_t v = 0; v < n; ++v) {
            const float* stored = &mesh.Positions[3 * v];
            std::array<float, 3> p = {stored[0], stored[1], stored[2]};
            if (!rigid) {
                const TCasVector base = CasVertexBase(mesh, v, places_);
                p = {p[0] + base.X, p[1] + base.Y, p[2] + base.Z};
                if (!SameBits(p[0] - base.X, stored[0]) || !SameBits(p[1] - base.Y, stored[1]) ||
                    !SameBits(p[2] - base.Z, stored[2]))
                    out.PositionFixes.push_back({v, {stored[0], stored[1], stored[2]}});
            }
            for (std::size_t c = 0; c < 3; ++c) {
                Put(to, 3 * v + c, p[c]);
                low[c] = std::min(low[c], p[c]);
                high[c] = std::max(high[c], p[c]);
            }
        }
        const std::size_t accessor = buffer_.Accessor(gltf::Float, n, "VEC3");
        auto& bounded = buffer_.Accessors[accessor];
        bounded.Bounded = 3;
        bounded.Min = low;
        bounded.Max = high;
        return accessor;
    }

    std::size_t Normals(const TCasMesh& mesh, TMeshOut& out)
    {
        const std::size_t n = mesh.VertexCount;
        std::uint8_t* to = buffer_.Take(12 * n, ArrayBuffer);
        for (std::size_t v = 0; v < n; ++v) {
            const float* stored = &mesh.Normals[3 * v];
            std::array<float, 3> normal = {stored[0], stored[1], stored[2]};
            const float length = std::sqrt(normal[0] * normal[0] + normal[1] * normal[1] + normal[2] * normal[2]);
            if (!std::isfinite(length) || std::abs(length - 1) > NormalTolerance) {
                out.NormalFixes.push_back({v, normal});
                if (std::isfinite(length) && length > 0)
                    normal = {normal[0] / length, normal[1] / length, normal[2] / length};
                else
                    normal = {0, 1, 0};
            }
            for (std::size_t c = 0; c < 3; ++c)
                Put(to, 3 * v + c, normal[c]);
        }
        return buffer_.Accessor(gltf::Float, n, "VEC3");
    }

    // UVs that are not numbers (seen in vegetation models) go as 0, their
    // stored bits in the fixes.
    std::size_t UVs(const TCasMesh& mesh, TMeshOut& out)
    {
        const std::size_t n = mesh.VertexCount;
        std::uint8_t* to = buffer_.Take(8 * n, ArrayBuffer);
        for (std::size_t v = 0; v < n; ++v) {
            std::array<float, 2> uv = {mesh.UVs[2 * v], mesh.UVs[2 * v + 1]};
            if (!std::isfinite(uv[0]) || !std::isfinite(uv[1])) {
                out.UVFixes.push_back({v, uv});
                for (auto& c : uv)
                    c = std::isfinite(c) ? c : 0.0f;
            }
            Put(to, 2 * v, uv[0]);
            Put(to, 2 * v + 1, uv[1]);
        }
        return buffer_.Accessor(gltf::Float, n, "VEC2");
    }

    // Joints are node indices (the skin lists every node in order). A
    // two-bone vertex gives its first bone the weight and its second the
    // rest; where glTF would not take that (one bone twice, a weight outside
    // 0..1), the vertex is written fully on its first bone and its fields go
    // in the fixes.
    void Skinning(const TCasMesh& mesh, TMeshOut& out, gltf::TFingerprint& fingerprint)
    {
        const std::size_t n = mesh.VertexCount;
        const bool small = model_.Nodes.size() <= 256;
        const std::size_t jointSize = small ? 1 : 2;
        std::uint8_t* joints = buffer_.Take(4 * n * jointSize, ArrayBuffer);
        std::fill_n(joints, 4 * n * jointSize, 0);
        auto joint = [&](std::size_t at, std::uint32_t bone) {
            if (small)
                joints[at] = static_cast<std::uint8_t>(bone);
            else
                Put(joints, at, static_cast<std::uint16_t>(bone));
        };
        std::vector<std::array<float, 2>> shares(n);
        for (std::size_t v = 0; v < n; ++v) {
            if (mesh.Kind == TCasMeshKind::OneBone) {
                joint(4 * v, mesh.Bones[v]);
                shares[v] = {1, 0};
                continue;
            }
            const std::uint32_t first = mesh.FirstBones[v], second = mesh.SecondBones[v];
            const float w = mesh.Weights[v];
            joint(4 * v, first);
            if (first != second && w >= 0 && w <= 1) {
                joint(4 * v + 1, second);
                shares[v] = {w, 1 - w};
            } else {
                shares[v] = {1, 0};
                out.SkinFixes.push_back({v, first, second, w});
            }
        }
        out.Joints = buffer_.Accessor(small ? gltf::UnsignedByte : gltf::UnsignedShort, n, "VEC4");
        fingerprint.Add(buffer_.LastView());
        std::uint8_t* weights = buffer_.Take(16 * n, ArrayBuffer);
        for (std::size_t v = 0; v < n; ++v) {
            const float row[4] = {shares[v][0], shares[v][1], 0, 0};
            std::memcpy(weights + 16 * v, row, 16);
        }
        out.Weights = buffer_.Accessor(gltf::Float, n, "VEC4");
        fingerprint.Add(buffer_.LastView());
    }

    // ---- the JSON -----------------------------------------------------------

    std::size_t JsonEstimate() const
    {
        std::size_t bytes = 4096 + Base64Length(model_.KeyTimes.size_bytes()) + Base64Length(model_.KeyData.size_bytes()) +
                            256 * model_.Nodes.size() + 160 * buffer_.Accessors.size() + 80 * buffer_.Views.size() +
                            256 * model_.Materials.size();
        for (const auto& chunk : model_.Chunks)
            bytes += 96 + Base64Length(chunk.Payload.size());
        for (std::size_t i = 0; i < model_.Meshes.size(); ++i) {
            const auto& mesh = model_.Meshes[i];
            bytes += 1024 + 2 * (mesh.Name.size() + mesh.Properties.size()) + Base64Length(mesh.Colours.size_bytes());
            bytes += 64 * (meshes_[i].PositionFixes.size() + meshes_[i].NormalFixes.size() + meshes_[i].UVFixes.size() +
                           meshes_[i].SkinFixes.size());
        }
        return bytes;
    }

    void WriteJson(TJsonWriter& json, bool binary) const
    {
        json.BeginObject();
        json.Key("asset").BeginObject().Member("version", "2.0").Member("generator", "quorin").EndObject();
        json.Member("scene", 0);
        WriteScenes(json);
        WriteNodes(json);
        WriteMeshes(json);
        json.Key("skins").BeginArray().BeginObject().Key("joints").BeginArray();
        for (std::size_t i = 0; i < model_.Nodes.size(); ++i)
            json.Unsigned(i);
        json.EndArray().Member("skeleton", 0).Member("inverseBindMatrices", inverseBind_).EndObject().EndArray();
        WriteMaterials(json);
        WriteAccessors(json);
        json.Key("buffers").BeginArray().BeginObject().Member("byteLength", buffer_.Bytes.size());
        if (!binary)
            json.Key("uri").Base64(buffer_.Bytes, DataUri);
        json.EndObject().EndArray();
        json.EndObject();
    }

    // A model node's glTF node is its own index; mesh i's is after them.
    std::size_t MeshNode(std::size_t mesh) const { return model_.Nodes.size() + mesh; }

    void WriteScenes(TJsonWriter& json) const
    {
        json.Key("scenes").BeginArray().BeginObject().Key("nodes").BeginArray().Unsigned(0);
        for (std::size_t i = 0; i < model_.Meshes.size(); ++i)
            if (model_.Meshes[i].Kind != TCasMeshKind::Rigid)
                json.Unsigned(MeshNode(i));
        json.EndArray();
        json.Key("extras").BeginObject().Key(gltf::ExtrasKey);
        WriteModelExtras(json);
        json.EndObject().EndObject().EndArray();
    }

    // The skeleton's nodes, each with its children: the nodes under it, then
    // the rigid meshes fixed to it; then one node per mesh.
    void WriteNodes(TJsonWriter& json) const
    {
        const std::size_t count = model_.Nodes.size();
        std::vector<std::size_t> first(count + 1, 0), children(count + model_.Meshes.size());
        auto parentOf = [&](std::size_t node) -> std::size_t {
            if (node < count)
                return node == 0 ? None : model_.Nodes[node].Parent;
            const auto& mesh = model_.Meshes[node - count];
            return mesh.Kind == TCasMeshKind::Rigid ? mesh.Bone : None;
        };
        for (std::size_t node = 0; node < children.size(); ++node)
            if (const std::size_t parent = parentOf(node); parent < count)
                ++first[parent + 1];
        for (std::size_t i = 0; i < count; ++i)
            first[i + 1] += first[i];
        std::vector<std::size_t> filled(first.begin(), first.end() - 1);
        for (std::size_t node = 0; node < children.size(); ++node)
            if (const std::size_t parent = parentOf(node); parent < count)
                children[filled[parent]++] = node;

        json.Key("nodes").BeginArray();
        for (std::size_t i = 0; i < count; ++i) {
            const auto& node = model_.Nodes[i];
            const std::array<float, 3> pivot = {node.Pivot.X, node.Pivot.Y, node.Pivot.Z};
            for (float value : pivot)
                if (!std::isfinite(value))
                    throw EGltfError("Cannot write node \"" + std::string(node.Name) +
                                     "\" as glTF: its position is not a number");
            json.BeginObject().Member("name", node.Name);
            if (pivot[0] != 0 || pivot[1] != 0 || pivot[2] != 0) {
                json.Key("translation").BeginArray();
                for (float value : pivot)
                    json.Double(value);
                json.EndArray();
            }
            if (first[i] != first[i + 1]) {
                json.Key("children").BeginArray();
                for (std::size_t c = first[i]; c < first[i + 1]; ++c)
                    json.Unsigned(children[c]);
                json.EndArray();
            }
            json.EndObject();
        }
        for (std::size_t m = 0; m < model_.Meshes.size(); ++m) {
            json.BeginObject().Member("name", model_.Meshes[m].Name).Member("mesh", m);
            if (model_.Meshes[m].Kind != TCasMeshKind::Rigid)
                json.Member("skin", 0);
            json.EndObject();
        }
        json.EndArray();
    }

    void WriteMeshes(TJsonWriter& json) const
    {
        json.Key("meshes").BeginArray();
        for (std::size_t i = 0; i < model_.Meshes.size(); ++i) {
            const TCasMesh& mesh = model_.Meshes[i];
            const TMeshOut& out = meshes_[i];
            json.BeginObject().Member("name", mesh.Name);
            json.Key("primitives").BeginArray().BeginObject();
            json.Key("attributes").BeginObject().Member("POSITION", out.Position).Member("NORMAL", out.Normal);
            if (out.UV != None)
                json.Member("TEXCOORD_0", out.UV);
            if (out.Joints != None)
                json.Member("JOINTS_0", out.Joints).Member("WEIGHTS_0", out.Weights);
            json.EndObject().Member("indices", out.Indices).Member("mode", gltf::Triangles);
            if (mesh.Material != CasNoMaterial)
                json.Member("material", mesh.Material);
            json.EndObject().EndArray();
            json.Key("extras").BeginObject().Key(gltf::ExtrasKey);
            WriteMeshExtras(json, i);
            json.EndObject().EndObject();
        }
        json.EndArray();
    }

    void WriteMeshExtras(TJsonWriter& json, std::size_t index) const
    {
        const TCasMesh& mesh = model_.Meshes[index];
        const TMeshOut& out = meshes_[index];
        json.BeginObject()
            .Member("index", index)
            .Member("name", mesh.Name)
            .Member("kind", static_cast<std::uint32_t>(mesh.Kind))
            .Member("properties", mesh.Properties);
        WriteArray(json, "placement", mesh.Placement);
        json.Member("trailer", mesh.Trailer).Member("hasUV", mesh.HasUV).Key("material");
        if (mesh.Material == CasNoMaterial)
            json.Null();
        else
            json.Unsigned(mesh.Material);
        json.Member("fingerprint", std::string_view(out.Fingerprint));
        WriteFixes(json, out);
        if (mesh.Kind == TCasMeshKind::Rigid)
            json.Member("rigidFixed", mesh.RigidFixed).Member("rigidFlag", mesh.RigidFlag);
        if (mesh.HasColour)
            json.Key("colours").Base64(AsBytes(mesh.Colours));
        json.EndObject();
    }

    // Each kind of fix as Base64 of little-endian records, the vertex (u32)
    // then its stored values (f32; a skin fix's two bones u32): as JSON
    // numbers they would be most of the text, on models with many.
    static void WriteFixes(TJsonWriter& json, const TMeshOut& out)
    {
        json.Key("fixes").BeginObject();
        std::vector<std::uint8_t> records;
        auto put = [&](auto value) {
            const auto* bytes = reinterpret_cast<const std::uint8_t*>(&value);
            records.insert(records.end(), bytes, bytes + sizeof value);
        };
        auto floats = [&](std::string_view key, const auto& fixes) {
            if (fixes.empty())
                return;
            records.clear();
            for (const auto& [vertex, values] : fixes) {
                put(static_cast<std::uint32_t>(vertex));
                for (float value : values)
                    put(value);
            }
            json.Key(key).Base64(records);
        };
        floats("positions", out.PositionFixes);
        floats("normals", out.NormalFixes);
        floats("uvs", out.UVFixes);
        if (!out.SkinFixes.empty()) {
            records.clear();
            for (const auto& fix : out.SkinFixes) {
                put(static_cast<std::uint32_t>(fix.Vertex));
                put(fix.First);
                put(fix.Second);
                put(fix.Weight);
            }
            json.Key("skin").Base64(records);
        }
        json.EndObject();
    }

    void WriteMaterials(TJsonWriter& json) const
    {
        if (image_ != None) {
            json.Key("images").BeginArray().BeginObject().Member("bufferView", image_).Member("mimeType", "image/png");
            json.EndObject().EndArray();
            json.Key("samplers").BeginArray().BeginObject().Member("magFilter", 9729).Member("minFilter", 9987);
            json.EndObject().EndArray();
            json.Key("textures").BeginArray().BeginObject().Member("source", 0).Member("sampler", 0);
            json.EndObject().EndArray();
        }
        if (model_.Materials.empty())
            return;
        json.Key("materials").BeginArray();
        for (const auto& material : model_.Materials) {
            json.BeginObject();
            if (material.Named != 0 && !material.Name.empty())
                json.Member("name", material.Name);
            json.Key("pbrMetallicRoughness").BeginObject().Member("metallicFactor", 0.0).Member("roughnessFactor", 1.0);
            if (image_ != None && material.Named != 0 && TextureKey(material.Texture) == shown_)
                json.Key("baseColorTexture").BeginObject().Member("index", 0).EndObject();
            json.EndObject();
            json.Key("extras").BeginObject().Key(gltf::ExtrasKey).BeginObject().Member("named", material.Named);
            WriteArray(json, "diffuse", material.Diffuse);
            WriteArray(json, "specular", material.Specular);
            json.Key("tail").Base64(material.Tail);
            if (material.Named != 0)
                json.Member("texture", material.Texture);
            json.EndObject().EndObject().EndObject();
        }
        json.EndArray();
    }

    void WriteAccessors(TJsonWriter& json) const
    {
        json.Key("accessors").BeginArray();
        for (const auto& accessor : buffer_.Accessors) {
            json.BeginObject()
                .Member("bufferView", accessor.View)
                .Member("componentType", accessor.ComponentType)
                .Member("count", accessor.Count)
                .Member("type", accessor.Type);
            if (accessor.Bounded > 0) {
                json.Key("min").BeginArray();
                for (std::size_t c = 0; c < accessor.Bounded; ++c)
                    json.Double(accessor.Min[c]);
                json.EndArray().Key("max").BeginArray();
                for (std::size_t c = 0; c < accessor.Bounded; ++c)
                    json.Double(accessor.Max[c]);
                json.EndArray();
            }
            json.EndObject();
        }
        json.EndArray();
        json.Key("bufferViews").BeginArray();
        for (const auto& view : buffer_.Views) {
            json.BeginObject().Member("buffer", 0).Member("byteOffset", view.Offset).Member("byteLength", view.Length);
            if (view.Target != NoTarget)
                json.Member("target", view.Target);
            json.EndObject();
        }
        json.EndArray();
    }

    void WriteModelExtras(TJsonWriter& json) const
    {
        const auto& header = model_.Header;
        json.BeginObject().Member("version", header.Version);
        WriteArray(json, "fixed", header.Fixed);
        json.Member("animationSeconds", header.AnimationSeconds);
        WriteArray(json, "fixed2", header.Fixed2);
        WriteArray(json, "firstColour", header.FirstColour);
        WriteArray(json, "integers", header.Integers);
        WriteArray(json, "secondColour", header.SecondColour);
        json.Key("exportHistory");
        if (model_.HasExportHistory)
            json.String(model_.ExportHistory);
        else
            json.Null();
        json.Member("nodeReserved", model_.NodeReserved);
        json.Key("keyTimes").Base64(AsBytes(model_.KeyTimes));
        json.Key("keyData").Base64(AsBytes(model_.KeyData));
        json.Key("nodes").BeginArray();
        for (const auto& node : model_.Nodes) {
            json.BeginObject().Member("name", node.Name).Key("parent");
            if (node.Parent == CasNoParent)
                json.Null();
            else
                json.Unsigned(node.Parent);
            WriteArray(json, "pivot", std::array<float, 3>{node.Pivot.X, node.Pivot.Y, node.Pivot.Z});
            json.Member("rotationKeys", node.RotationKeys)
                .Member("positionKeys", node.PositionKeys)
                .Member("rotationOffset", node.RotationOffset)
                .Member("positionOffset", node.PositionOffset)
                .Member("reserved", node.Reserved)
                .Member("properties", node.Properties)
                .EndObject();
        }
        json.EndArray();
        json.Key("chunks").BeginArray();
        for (const auto& chunk : model_.Chunks) {
            json.BeginObject().Member("kind", chunk.Kind);
            if (chunk.Kind >= 1 && chunk.Kind <= 3)
                json.Member("meshCount", chunk.MeshCount)
                    .Member("trailerShort", chunk.TrailerShort)
                    .Member("trailerCount", chunk.TrailerCount);
            if (!chunk.Payload.empty())
                json.Key("payload").Base64(chunk.Payload);
            json.EndObject();
        }
        json.EndArray().EndObject();
    }

    // ---- the binary container -----------------------------------------------

    std::vector<std::uint8_t> Glb(std::vector<std::uint8_t>& out) const
    {
        out.resize((out.size() + 3) & ~std::size_t{3}, ' ');
        const std::uint64_t jsonLength = out.size() - GlbHead;
        const std::size_t binaryLength = (buffer_.Bytes.size() + 3) & ~std::size_t{3};
        const std::uint64_t total = out.size() + 8 + binaryLength;
        if (total > std::numeric_limits<std::uint32_t>::max())
            throw EGltfError("Cannot write the model as .glb: it would be larger than 4 GiB");
        const std::uint32_t head[5] = {0x46546C67, 2, static_cast<std::uint32_t>(total),  // "glTF", version 2
                                       static_cast<std::uint32_t>(jsonLength), 0x4E4F534A};  // "JSON"
        std::memcpy(out.data(), head, sizeof head);
        const std::uint32_t binary[2] = {static_cast<std::uint32_t>(binaryLength), 0x004E4942};  // "BIN"
        const auto* from = reinterpret_cast<const std::uint8_t*>(binary);
        out.insert(out.end(), from, from + sizeof binary);
        out.insert(out.end(), buffer_.Bytes.begin(), buffer_.Bytes.end());
        out.resize(static_cast<std::size_t>(total), 0);
        return std::move(out);
    }

    const TCasModel& model_;
    std::span<const std::uint8_t> png_;
    std::vector<TCasVector> places_;  // the nodes' rest places
    TBuffer buffer_;
    std::size_t inverseBind_ = 0;
    std::string shown_;  // the texture the picture belongs to
    std::size_t image_ = None;
    std::vector<TMeshOut> meshes_;
};

} // namespace

std::vector<std::uint8_t> WriteGltf(const TCasModel& model, std::span<const std::uint8_t> png, TGltfContainer container)
{
    return TExporter(model, png).Export(container);
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
