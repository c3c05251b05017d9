#pragma once
// Battle models to glTF 2.0 and back. The glTF holds what a viewer or a
// modeller needs (meshes in the rest pose, normals, UVs, the skeleton as
// nodes with a skin, materials, the texture); what glTF has no place for
// (the header, the export history, the baked animation, fields of unknown
// meaning, passed-over chunks, the texture path as the model names it) goes
// in "extras", so a glTF written here and not changed gives the very same
// model back. A glTF changed elsewhere gives a model with the changes, the
// skeleton's names and order kept, within the format's limits.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "CasModel.h"

namespace quorin {

// A glTF that cannot be read as a battle model, or a model that cannot be
// written as glTF. The message names the part (mesh, node, accessor).
class EGltfError : public Exception {
    using Exception::Exception;
};

enum class TGltfContainer {
    Binary,  // .glb: the JSON and one binary chunk
    Text,    // .gltf: JSON with its buffer embedded as a data URI
};

// The model's glTF. png, when not empty, is a PNG picture that every
// material naming the model's first texture shows.
std::vector<std::uint8_t> WriteGltf(const TCasModel& model, std::span<const std::uint8_t> png, TGltfContainer container);

struct TGltfImport {
    std::vector<std::uint8_t> Cas;      // the model file's bytes
    std::vector<std::string> Warnings;  // what was changed to fit the format
};

// Reads a glTF (binary or text, told apart by its first bytes) and gives the
// model file. fileName is used in messages only. The input is untrusted:
// whatever does not fit raises EGltfError, and nothing is allocated beyond
// what the input's size can justify.
TGltfImport ReadGltf(std::span<const std::uint8_t> bytes, std::string_view fileName);

// True for the file names the conversion reads and writes: .glb and .gltf.
bool IsGltfFileName(std::string_view name);
TGltfContainer GltfContainerFor(std::string_view name);

} // namespace quorin
