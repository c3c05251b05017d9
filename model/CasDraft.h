#pragma once
// A battle model being made from something other than its file: every array
// and text owned here, and a TCasModel that views them for the writer.

#include <string>
#include <vector>

#include "CasModel.h"

namespace quorin {

struct TCasMeshDraft {
    TCasMesh Fields;  // the scalars; its arrays and texts are set by CasModelView
    std::string Name, Properties;
    std::vector<std::uint32_t> Bones, FirstBones, SecondBones, Colours;
    std::vector<float> Positions, Weights, Normals, UVs;
    std::vector<std::uint16_t> Indices;
};

struct TCasNodeDraft {
    TCasNode Fields;
    std::string Name, Properties;
};

struct TCasMaterialDraft {
    TCasMaterial Fields;
    std::string Name, Texture;
};

struct TCasChunkDraft {
    TCasChunk Fields;
    std::vector<std::uint8_t> Payload;
};

struct TCasDraft {
    TCasHeader Header;
    bool HasExportHistory = false;
    std::string ExportHistory;
    std::uint16_t NodeReserved = 0;
    std::vector<float> KeyTimes, KeyData;
    std::vector<TCasNodeDraft> Nodes;
    std::vector<TCasMeshDraft> Meshes;
    std::vector<TCasMaterialDraft> Materials;
    std::vector<TCasChunkDraft> Chunks;
};

// The draft as a model, its views pointing into the draft, which must outlive it.
TCasModel CasModelView(const TCasDraft& draft);

// The values that the real unit models carry where a model made elsewhere
// has nothing to say: the header, the materials' fields of unknown meaning.
TCasHeader UsualCasHeader();
TCasMaterial UsualCasMaterial();

} // namespace quorin
