#pragma once
// Writes a battle model back to the bytes of a .cas file: the reader's
// layout field by field, chunk by chunk in the order the model lists them,
// so that a model read and written again is the same file.

#include <cstdint>
#include <vector>

#include "CasModel.h"

namespace quorin {

// A model that cannot be written: a text outside Latin-1, a count beyond the
// format's fields, arrays that do not match their counts.
class ECasWriteError : public Exception {
    using Exception::Exception;
};

// The model's file. The model must have been read with every array
// (TCasDetail::Everything) or built whole; its Chunks give the order of the
// parts, and a mesh chunk takes the next MeshCount meshes of Meshes.
std::vector<std::uint8_t> WriteCasModel(const TCasModel& model);

} // namespace quorin
