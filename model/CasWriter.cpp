#include "CasWriter.h"

#include <bit>
#include <cstring>
#include <limits>
#include <string>
#include <type_traits>

namespace quorin {

namespace {

constexpr std::uint32_t KindNodes = 0;
constexpr std::uint32_t KindMaterials = 5;
constexpr std::uint32_t KindExportHistory = 13;

std::string Number(std::uint64_t value) { return std::to_string(value); }

class TWriter {
public:
    explicit TWriter(std::size_t expected) { bytes_.reserve(expected); }

    std::vector<std::uint8_t> Take() { return std::move(bytes_); }
    std::size_t Size() const { return bytes_.size(); }

    template <typename T>
    void Put(T value)
    {
        static_assert(std::is_trivially_copyable_v<T>);
        if constexpr (sizeof(T) == 1) {
            bytes_.push_back(static_cast<std::uint8_t>(value));
        } else {
            using Bits = std::conditional_t<sizeof(T) == 2, std::uint16_t, std::uint32_t>;
            const auto bits = std::bit_cast<Bits>(value);
            for (std::size_t i = 0; i < sizeof(T); ++i)
                bytes_.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
        }
    }

    template <typename T, std::size_t N>
    void Put(const std::array<T, N>& values)
    {
        for (const T& value : values)
            Put(value);
    }

    template <typename T>
    void Array(TCasArray<T> values)
    {
        if constexpr (std::endian::native == std::endian::little) {
            const auto* from = reinterpret_cast<const std::uint8_t*>(values.data());
            bytes_.insert(bytes_.end(), from, from + values.size_bytes());
        } else {
            for (const T& value : values)
                Put(value);
        }
    }

    // UTF-8 text as the file's Latin-1, without its NUL.
    void Latin1(std::string_view text, std::string_view what)
    {
        for (std::size_t i = 0; i < text.size(); ++i) {
            const auto c = static_cast<std::uint8_t>(text[i]);
            if (c < 0x80) {
                bytes_.push_back(c);
            } else if ((c == 0xC2 || c == 0xC3) && i + 1 < text.size() &&
                       (static_cast<std::uint8_t>(text[i + 1]) & 0xC0) == 0x80) {
                bytes_.push_back(static_cast<std::uint8_t>(((c & 0x03) << 6) | (text[++i] & 0x3F)));
            } else {
                throw ECasWriteError("Cannot write " + std::string(what) + " \"" + std::string(text) +
                                     "\": a model's texts hold Latin-1 letters only");
            }
        }
    }

    void LengthText(std::string_view text, std::string_view what)
    {
        const std::size_t at = Size();
        Put<std::uint32_t>(0);
        Latin1(text, what);
        bytes_.push_back(0);
        PutAt(at, static_cast<std::uint32_t>(Size() - at - 4));
    }

    void NulText(std::string_view text, std::string_view what)
    {
        if (text.find('\0') != std::string_view::npos)
            throw ECasWriteError("Cannot write " + std::string(what) + ": it holds a NUL byte");
        Latin1(text, what);
        bytes_.push_back(0);
    }

    void PutAt(std::size_t at, std::uint32_t value)
    {
        for (std::size_t i = 0; i < 4; ++i)
            bytes_[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
    }

private:
    std::vector<std::uint8_t> bytes_;
};

void Require(bool holds, const std::string& what)
{
    if (!holds)
        throw ECasWriteError("Cannot write the model: " + what);
}

template <typename T>
void RequireSize(TCasArray<T> values, std::uint64_t count, std::string_view mesh, std::string_view what)
{
    Require(values.size() == count, "mesh \"" + std::string(mesh) + "\" has " + Number(values.size()) + " " +
                                        std::string(what) + " where its counts call for " + Number(count));
}

class TModelWriter {
public:
    explicit TModelWriter(const TCasModel& model) : model_(model), out_(ExpectedSize(model)) {}

    std::vector<std::uint8_t> Write()
    {
        WriteHeader();
        for (const auto& chunk : model_.Chunks)
            WriteChunk(chunk);
        Require(nextMesh_ == model_.Meshes.size(),
                Number(model_.Meshes.size() - nextMesh_) + " of its meshes belong to no chunk");
        return out_.Take();
    }

private:
    static std::size_t ExpectedSize(const TCasModel& model)
    {
        std::size_t size = CasHeaderSize + 64 + model.ExportHistory.size() +
                           (model.KeyTimes.size() + model.KeyData.size()) * 4 + model.Nodes.size() * 96 +
                           model.Materials.size() * 128;
        for (const auto& mesh : model.Meshes)
            size += 128 + mesh.VertexCount * 48 + mesh.TriangleCount * 6;
        for (const auto& chunk : model.Chunks)
            size += 16 + chunk.Payload.size();
        return size;
    }

    void WriteHeader()
    {
        const auto& header = model_.Header;
        out_.Put(header.Version);
        out_.Put(header.Fixed);
        out_.Put(header.AnimationSeconds);
        out_.Put(header.Fixed2);
        out_.Put(header.FirstColour);
        out_.Put(header.Integers);
        out_.Put(header.SecondColour);
    }

    void WriteChunk(const TCasChunk& chunk)
    {
        const std::size_t at = out_.Size();
        out_.Put<std::uint32_t>(0);
        out_.Put(chunk.Kind);
        switch (chunk.Kind) {
        case KindNodes:
            WriteNodes();
            break;
        case static_cast<std::uint32_t>(TCasMeshKind::Rigid):
        case static_cast<std::uint32_t>(TCasMeshKind::OneBone):
        case static_cast<std::uint32_t>(TCasMeshKind::TwoBone):
            WriteMeshes(chunk);
            break;
        case KindMaterials:
            WriteMaterials();
            break;
        case KindExportHistory:
            out_.LengthText(model_.ExportHistory, "the export history");
            break;
        default:
            out_.Array(chunk.Payload);
            break;
        }
        const std::size_t size = out_.Size() - at;
        Require(size <= std::numeric_limits<std::uint32_t>::max(), "a chunk is larger than 4 GiB");
        out_.PutAt(at, static_cast<std::uint32_t>(size));
    }

    void WriteNodes()
    {
        const auto& nodes = model_.Nodes;
        Require(!nodes.empty(), "it has no nodes");
        out_.Put(static_cast<std::uint32_t>(nodes.size()));
        out_.Put(model_.NodeReserved);
        for (std::size_t i = 1; i < nodes.size(); ++i) {
            Require(nodes[i].Parent < nodes.size(), "node \"" + std::string(nodes[i].Name) + "\" has no parent");
            out_.Put(nodes[i].Parent);
        }
        out_.Put(static_cast<std::uint32_t>(model_.KeyTimes.size()));
        out_.Array(model_.KeyTimes);
        std::uint64_t keyFloats = 0;
        for (const auto& node : nodes) {
            Require(node.RotationKeys <= model_.KeyTimes.size() && node.PositionKeys <= model_.KeyTimes.size(),
                    "node \"" + std::string(node.Name) + "\" has more keys than the animation");
            out_.LengthText(node.Name, "a node name");
            out_.Put(node.RotationKeys);
            out_.Put(node.PositionKeys);
            out_.Put(node.RotationOffset);
            out_.Put(node.PositionOffset);
            out_.Put(node.Reserved);
            out_.LengthText(node.Properties, "a node's properties");
            keyFloats += std::uint64_t{node.RotationKeys} * 4 + std::uint64_t{node.PositionKeys} * 3;
        }
        Require(keyFloats == model_.KeyData.size(), "its animation holds " + Number(model_.KeyData.size()) +
                                                        " key values where its nodes call for " + Number(keyFloats));
        out_.Array(model_.KeyData);
        for (const auto& node : nodes) {
            out_.Put(node.Pivot.X);
            out_.Put(node.Pivot.Y);
            out_.Put(node.Pivot.Z);
        }
    }

    void WriteMeshes(const TCasChunk& chunk)
    {
        Require(chunk.MeshCount <= model_.Meshes.size() - nextMesh_,
                "a mesh chunk calls for more meshes than the model has");
        out_.Put(chunk.MeshCount);
        for (std::uint32_t i = 0; i < chunk.MeshCount; ++i) {
            const auto& mesh = model_.Meshes[nextMesh_++];
            Require(static_cast<std::uint32_t>(mesh.Kind) == chunk.Kind,
                    "mesh \"" + std::string(mesh.Name) + "\" lies in a chunk of another kind");
            WriteMesh(mesh);
        }
        if (chunk.Kind == static_cast<std::uint32_t>(TCasMeshKind::Rigid))
            out_.Put(chunk.TrailerShort);
        out_.Put(chunk.TrailerCount);
    }

    void CheckMesh(const TCasMesh& mesh) const
    {
        const std::uint64_t vertices = mesh.VertexCount;
        const std::string name(mesh.Name);
        Require(vertices <= 0xFFFF && mesh.TriangleCount <= 0xFFFF,
                "mesh \"" + name + "\" has more than 65535 vertices or triangles");
        const bool oneBone = mesh.Kind == TCasMeshKind::OneBone;
        const bool twoBone = mesh.Kind == TCasMeshKind::TwoBone;
        RequireSize(mesh.Positions, vertices * 3, name, "position values");
        RequireSize(mesh.Normals, vertices * 3, name, "normal values");
        RequireSize(mesh.Indices, std::uint64_t{mesh.TriangleCount} * 3, name, "vertex indices");
        RequireSize(mesh.Bones, oneBone ? vertices : 0, name, "vertex bones");
        RequireSize(mesh.Weights, twoBone ? vertices : 0, name, "weights");
        RequireSize(mesh.FirstBones, twoBone ? vertices : 0, name, "first bones");
        RequireSize(mesh.SecondBones, twoBone ? vertices : 0, name, "second bones");
        RequireSize(mesh.UVs, mesh.HasUV ? vertices * 2 : 0, name, "UV values");
        RequireSize(mesh.Colours, mesh.HasColour ? vertices : 0, name, "colours");
    }

    void WriteMesh(const TCasMesh& mesh)
    {
        CheckMesh(mesh);
        out_.LengthText(mesh.Name, "a mesh name");
        out_.LengthText(mesh.Properties, "a mesh's properties");
        if (mesh.Kind == TCasMeshKind::Rigid) {
            out_.Put(mesh.RigidFixed);
            out_.Put(mesh.RigidFlag);
            out_.Put(mesh.Bone);
        }
        out_.Put(mesh.Placement);
        out_.Put(static_cast<std::uint16_t>(mesh.VertexCount));
        out_.Put(static_cast<std::uint16_t>(mesh.TriangleCount));
        out_.Put<std::uint8_t>(mesh.HasUV ? 1 : 0);
        out_.Put<std::uint8_t>(mesh.HasColour ? 1 : 0);
        out_.Array(mesh.Bones);
        out_.Array(mesh.Positions);
        out_.Array(mesh.Weights);
        out_.Array(mesh.FirstBones);
        out_.Array(mesh.SecondBones);
        out_.Array(mesh.Normals);
        out_.Array(mesh.Indices);
        out_.Put(mesh.Material);
        out_.Array(mesh.UVs);
        out_.Array(mesh.Colours);
        out_.Put(mesh.Trailer);
    }

    void WriteMaterials()
    {
        out_.Put(static_cast<std::uint32_t>(model_.Materials.size()));
        for (const auto& material : model_.Materials) {
            out_.Put(material.Named);
            if (material.Named != 0) {
                out_.NulText(material.Name, "a material name");
                out_.NulText(material.Texture, "a material's texture path");
            }
            out_.Put(material.Diffuse);
            out_.Put(material.Specular);
            out_.Put(material.Tail);
        }
    }

    const TCasModel& model_;
    TWriter out_;
    std::size_t nextMesh_ = 0;
};

} // namespace

std::vector<std::uint8_t> WriteCasModel(const TCasModel& model)
{
    return TModelWriter(model).Write();
}

} // namespace quorin
