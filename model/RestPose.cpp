#include "RestPose.h"

#include <algorithm>

namespace quorin {

namespace {

std::vector<TCasVector> NodePositions(const std::vector<TCasNode>& nodes)
{
    // The reader guarantees that every chain of parents reaches the root, so
    // resolving each node's chain once, with the resolved ones kept, is linear.
    std::vector<TCasVector> world(nodes.size());
    std::vector<bool> done(nodes.size(), false);
    std::vector<std::size_t> chain;
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        for (std::size_t j = i; !done[j]; j = nodes[j].Parent) {
            chain.push_back(j);
            if (nodes[j].Parent == CasNoParent)
                break;
        }
        while (!chain.empty()) {
            std::size_t j = chain.back();
            chain.pop_back();
            const auto& pivot = nodes[j].Pivot;
            TCasVector base = nodes[j].Parent == CasNoParent ? TCasVector{} : world[nodes[j].Parent];
            world[j] = {base.X + pivot.X, base.Y + pivot.Y, base.Z + pivot.Z};
            done[j] = true;
        }
    }
    return world;
}

std::vector<float> MeshPositions(const TCasMesh& mesh, const std::vector<TCasVector>& nodes)
{
    std::vector<float> out(mesh.Positions.size());
    for (std::size_t v = 0; v < mesh.VertexCount; ++v) {
        const TCasVector at = CasVertexBase(mesh, v, nodes);
        out[3 * v] = mesh.Positions[3 * v] + at.X;
        out[3 * v + 1] = mesh.Positions[3 * v + 1] + at.Y;
        out[3 * v + 2] = mesh.Positions[3 * v + 2] + at.Z;
    }
    return out;
}

} // namespace

TCasVector CasBlend(const TCasVector& a, const TCasVector& b, float w)
{
    // Which bone the weight belongs to is not known; the two readings
    // differ by hundredths of a unit in real models.
    return {a.X * w + b.X * (1 - w), a.Y * w + b.Y * (1 - w), a.Z * w + b.Z * (1 - w)};
}

TCasVector CasVertexBase(const TCasMesh& mesh, std::size_t v, const std::vector<TCasVector>& nodes)
{
    switch (mesh.Kind) {
    case TCasMeshKind::Rigid:
        return nodes[mesh.Bone];
    case TCasMeshKind::OneBone:
        return nodes[mesh.Bones[v]];
    case TCasMeshKind::TwoBone:
        break;
    }
    return CasBlend(nodes[mesh.FirstBones[v]], nodes[mesh.SecondBones[v]], mesh.Weights[v]);
}

std::vector<TCasVector> CasRestNodePositions(const TCasModel& model) { return NodePositions(model.Nodes); }

TCasRestPose CasRestPose(const TCasModel& model)
{
    TCasRestPose pose;
    pose.NodePositions = NodePositions(model.Nodes);
    pose.MeshPositions.reserve(model.Meshes.size());
    bool first = true;
    for (const auto& mesh : model.Meshes) {
        const auto& positions = pose.MeshPositions.emplace_back(MeshPositions(mesh, pose.NodePositions));
        for (std::size_t i = 0; i + 2 < positions.size(); i += 3) {
            TCasVector p{positions[i], positions[i + 1], positions[i + 2]};
            if (first) {
                pose.Minimum = pose.Maximum = p;
                first = false;
            }
            pose.Minimum = {std::min(pose.Minimum.X, p.X), std::min(pose.Minimum.Y, p.Y), std::min(pose.Minimum.Z, p.Z)};
            pose.Maximum = {std::max(pose.Maximum.X, p.X), std::max(pose.Maximum.Y, p.Y), std::max(pose.Maximum.Z, p.Z)};
        }
    }
    return pose;
}

} // namespace quorin
