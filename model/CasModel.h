#pragma once
// Battle models (.cas): a strict reader that gives the skeleton, the meshes
// and the materials, and keeps every field of unknown meaning as read.
// The layout is that of the unit models of the three games; anything that
// does not fit it is refused with the byte where it stopped fitting.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/Exception.h"

namespace quorin {

// "Damaged model file NAME at byte N: what was expected".
class ECASException : public Exception {
public:
    ECASException(std::string_view fileName, std::uint64_t offset, std::string expectation);
    std::uint64_t Offset() const noexcept { return offset_; }
    const std::string& Expectation() const noexcept { return expectation_; }

private:
    std::uint64_t offset_;
    std::string expectation_;
};

// An array of numbers read from a model: a view into the model's one buffer
// (TCasModel::Storage), valid for as long as the model is. The model's texts
// are views into the same buffer.
template <typename T>
using TCasArray = std::span<const T>;

struct TCasVector {
    float X = 0, Y = 0, Z = 0;
};

inline constexpr std::size_t CasHeaderSize = 42;
inline constexpr std::uint32_t CasNoParent = 0xFFFFFFFF;
inline constexpr std::uint32_t CasNoMaterial = 0xFFFFFFFF;
// What the game takes of two-bone skinning: vertices in one such mesh, and
// in a whole model.
inline constexpr std::uint64_t CasMaxTwoBoneMeshVertices = 100;
inline constexpr std::uint64_t CasMaxTwoBoneModelVertices = 200;

struct TCasHeader {
    float Version = 0;
    std::array<std::uint32_t, 3> Fixed{};        // 38, 9, 0 in every file seen
    float AnimationSeconds = 0;
    std::array<std::uint32_t, 2> Fixed2{};       // 1, 0
    std::array<std::uint8_t, 3> FirstColour{};   // meaning unknown
    std::array<std::uint32_t, 2> Integers{};     // meaning unknown
    std::array<std::uint8_t, 3> SecondColour{};  // meaning unknown
};

struct TCasNode {
    std::string_view Name;   // UTF-8 (the file holds Latin-1)
    std::string_view Properties;
    std::uint32_t Parent = CasNoParent;  // CasNoParent for the root only
    std::uint32_t RotationKeys = 0;
    std::uint32_t PositionKeys = 0;
    std::uint32_t RotationOffset = 0;    // as read
    std::uint32_t PositionOffset = 0;    // as read
    std::uint32_t Reserved = 0;          // as read (0 in every file seen)
    std::size_t FirstKeyFloat = 0;       // where this node's keys begin in TCasModel::KeyData
    TCasVector Pivot;                    // relative to the parent
};

enum class TCasMeshKind : std::uint32_t { Rigid = 1, OneBone = 2, TwoBone = 3 };

struct TCasMesh {
    TCasMeshKind Kind = TCasMeshKind::Rigid;
    std::string_view Name;
    std::string_view Properties;
    // Rigid meshes: the node they are fixed to, and the fields around it.
    std::uint32_t RigidFixed = 0;      // as read (1 in every file seen)
    std::uint8_t RigidFlag = 0;        // as read (0 in every file seen)
    std::uint32_t Bone = 0;
    std::array<float, 7> Placement{};  // as read
    std::uint32_t VertexCount = 0;
    std::uint32_t TriangleCount = 0;
    bool HasUV = false;
    bool HasColour = false;
    TCasArray<std::uint32_t> Bones;        // one-bone meshes: per vertex
    TCasArray<float> Positions;            // 3 per vertex, relative to the bone(s)
    TCasArray<float> Weights;              // two-bone meshes: per vertex
    TCasArray<std::uint32_t> FirstBones;   // two-bone meshes: per vertex
    TCasArray<std::uint32_t> SecondBones;  // two-bone meshes: per vertex
    TCasArray<float> Normals;              // 3 per vertex
    TCasArray<std::uint16_t> Indices;      // 3 per triangle, each below VertexCount
    std::uint32_t Material = CasNoMaterial;  // index into TCasModel::Materials
    TCasArray<float> UVs;                  // 2 per vertex when HasUV
    TCasArray<std::uint32_t> Colours;      // per vertex when HasColour
    std::uint32_t Trailer = 0;               // as read (0 in nearly every file seen)
};

struct TCasMaterial {
    std::uint32_t Named = 0;  // as read; a name and a texture follow when not 0
    std::string_view Name;
    std::string_view Texture;  // as the model names it: "textures\x.tga"
    std::array<float, 4> Diffuse{};
    std::array<float, 3> Specular{};
    std::array<std::uint8_t, 29> Tail{};  // as read
};

struct TCasChunk {
    std::uint32_t Kind = 0;
    std::uint64_t Offset = 0;  // of its head
    std::uint32_t Size = 0;    // its head included
    // Mesh chunks end with these (kind 1: a u16 and a u32; kinds 2, 3: a u32).
    std::uint16_t TrailerShort = 0;
    std::uint32_t TrailerCount = 0;
    std::uint32_t MeshCount = 0;      // mesh chunks: how many of TCasModel::Meshes, in order, are this chunk's
    TCasArray<std::uint8_t> Payload;  // chunks of kinds the reader passes over: their bytes after the head
};

struct TCasModel {
    TCasHeader Header;
    bool HasExportHistory = false;
    std::string_view ExportHistory;
    std::vector<TCasNode> Nodes;       // the first is the root
    std::uint16_t NodeReserved = 0;    // as read
    TCasArray<float> KeyTimes;
    // The baked animation's keys as read, node by node: 4 floats per rotation
    // key and 3 per position key.
    TCasArray<float> KeyData;
    std::vector<TCasMesh> Meshes;      // in file order, chunk by chunk
    std::vector<TCasMaterial> Materials;
    std::vector<TCasChunk> Chunks;     // every chunk, those skipped included
    // Every array and text above, in one buffer taken once per model, never
    // cleared before the file's bytes are copied in. The model moves but does
    // not copy, so the views always point into a live buffer.
    std::unique_ptr<std::byte[]> Storage;
};

// How much of a model to keep: everything, or all but the per-vertex and
// animation arrays (left empty), which is all a check needs: every count and
// index is read and checked all the same.
enum class TCasDetail { Everything, Counts };

// Reads a whole model. fileName is only used in messages. Raises
// ECASException and nothing else; allocates no more than the bytes can fill.
TCasModel ReadCasModel(std::span<const std::uint8_t> bytes, std::string_view fileName,
                       TCasDetail detail = TCasDetail::Everything);
// Reads the model file at path ("Cannot open file %s" when it cannot be read).
TCasModel LoadCasModel(std::string_view path, TCasDetail detail = TCasDetail::Everything);

struct TCasTotals {
    std::uint64_t Vertices = 0;
    std::uint64_t Triangles = 0;
    std::uint64_t Bones = 0;  // nodes, the root included
    std::uint64_t TwoBoneVertices = 0;
    std::uint64_t LargestTwoBoneMesh = 0;  // vertices of the largest two-bone mesh
};

TCasTotals CasTotals(const TCasModel& model);

} // namespace quorin
