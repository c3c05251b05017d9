#pragma once
// The rest pose of a battle model: where its nodes and vertices stand when no
// animation moves them. Nodes carry no rest rotation, so a node's place is
// its pivot added to its parent's place, up to the root.

#include <vector>

#include "CasModel.h"

namespace quorin {

struct TCasRestPose {
    std::vector<TCasVector> NodePositions;       // one per node, in the model's space
    std::vector<std::vector<float>> MeshPositions;  // per mesh, 3 floats per vertex, in the model's space
    TCasVector Minimum, Maximum;                    // the box around every vertex; zero without vertices
};

TCasRestPose CasRestPose(const TCasModel& model);
// The nodes' places alone (TCasRestPose::NodePositions), for who needs no more.
std::vector<TCasVector> CasRestNodePositions(const TCasModel& model);

// Where vertex v's stored position is counted from: its bone's place, or for
// two bones their places blended by its weight. nodes are the rest pose's
// node positions. Out of line, so that every caller gets the very same
// rounding: the glTF conversion relies on it to give back the stored values.
TCasVector CasVertexBase(const TCasMesh& mesh, std::size_t v, const std::vector<TCasVector>& nodes);
TCasVector CasBlend(const TCasVector& first, const TCasVector& second, float weight);

} // namespace quorin
