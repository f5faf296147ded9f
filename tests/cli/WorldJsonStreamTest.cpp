#include "cli/WorldJson.h"

#include <sstream>

#include <gtest/gtest.h>

#include "foundation/Codec.h"
#include "world/WorldDoc.h"

namespace gm {
namespace {

// The streamed dump must be the very text the whole tree prints, for an empty world and for the
// example world with every kind of object.
TEST(WorldJsonStream, WritesExactlyWhatTheTreePrints) {
    for (const char* file : {"", "/examples/worlds/demo.raw"}) {
        SCOPED_TRACE(file);
        WorldDoc doc;
        if (*file) {
            ASSERT_EQ(doc.WorldOpen(AnsiToWideQX(std::string(GM_SOURCE_DIR) + file)), "");
        }
        std::ostringstream streamed;
        WorldJsonStream(doc, 3, streamed);
        const std::string tree =
            WorldToJson(doc, 3).dump(2, ' ', false, WorldJson::error_handler_t::replace);
        EXPECT_EQ(streamed.str(), tree);
    }
}

} // namespace
} // namespace gm
