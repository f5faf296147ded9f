#pragma once
// The whole world document as JSON, the form `gridmoor-cli dump` prints. Objects refer to each
// other by their 0-based position in the arrays of the output, never by address or file number.

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace gm {

class WorldDoc;

// Floats are kept as 32-bit values so that they print in their shortest round-trip form (0.1f
// prints as 0.1, not as the nearest double's 17 digits). Keys keep their insertion order.
using WorldJson = nlohmann::basic_json<nlohmann::ordered_map, std::vector, std::string, bool,
                                       std::int64_t, std::uint64_t, float>;

// version is the version of the file the document was read from.
WorldJson WorldToJson(const WorldDoc& doc, int32_t version);

} // namespace gm
