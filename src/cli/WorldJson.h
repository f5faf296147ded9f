#pragma once
// The whole world document as JSON, the form `gridmoor-cli dump` prints. Objects refer to each
// other by their 0-based position in the arrays of the output, never by address or file number.

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace gm {

class WorldDoc;

// Floats are kept as 32-bit values so that they print in their shortest round-trip form (0.1f
// prints as 0.1, not as the nearest double's 17 digits). Keys keep their insertion order.
using WorldJson = nlohmann::basic_json<nlohmann::ordered_map, std::vector, std::string, bool,
                                       std::int64_t, std::uint64_t, float>;

// Receives the document's top-level values and arrays in output order.
class WorldJsonSink {
public:
    virtual ~WorldJsonSink() = default;
    virtual void Value(const char* key, WorldJson value) = 0;
    virtual void BeginArray(const char* key) = 0; // the array ends at the next call but Item
    virtual void Item(WorldJson item) = 0;
    virtual void End() = 0;
};

// version is the version of the file the document was read from.
void WorldJsonWrite(const WorldDoc& doc, int32_t version, WorldJsonSink& sink);
WorldJson WorldToJson(const WorldDoc& doc, int32_t version);
// Exactly WorldToJson(doc, version).dump(2) (invalid UTF-8 replaced), written entry by entry.
void WorldJsonStream(const WorldDoc& doc, int32_t version, std::ostream& out);

} // namespace gm
