#pragma once
// Checks of the two files an export wrote against the world it came from: every count matches
// the world, every number refers to something the file holds, every key offset is the start of a
// blob of the pool, and nothing is left over at the end.

#include <string_view>

namespace gm {
class WorldDoc;
struct OptState;
} // namespace gm

namespace gm::fuzz {

void CheckEndFile(const WorldDoc& doc, std::string_view map);
// The visibility file, raw or zlib-compressed, against the optimisation the export used.
void CheckVisibilityFile(const WorldDoc& doc, const OptState& opt, std::string_view file);

} // namespace gm::fuzz
