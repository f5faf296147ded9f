#include "zones/GMOpt.h"

#include <filesystem>

#include <gtest/gtest.h>

#include "render/Camera.h"
#include "support/TempDir.h"
#include "world/WorldDoc.h"

namespace gm {
namespace {

class OptProgressTest : public test::TempDirTest {
protected:
    WorldDoc Doc;
    Camera Cam;
    OptState Opt;
    std::string MapPath = Dir.File("edit.map");
    std::string OptPath = Dir.File("edit.opt");
};

TEST_F(OptProgressTest, EveryDirectionIsReportedInOrder) {
    int calls = 0;
    bool inOrder = true;
    const int64_t size = OptBuild(Doc, Cam, Opt, [&](int done, int total) {
        inOrder = inOrder && done == calls && total == 72 * 37;
        ++calls;
        return true;
    });
    EXPECT_EQ(size, 21312);
    EXPECT_EQ(calls, 2664);
    EXPECT_TRUE(inOrder);
    EXPECT_TRUE(Opt.Built);
}

TEST_F(OptProgressTest, StoppedExportWritesNothingAndBuildsAgainNextTime) {
    const int64_t result =
        EndExport(Doc, Cam, Opt, MapPath, OptPath, [](int done, int) { return done < 1000; });
    EXPECT_EQ(result, OptCancelled);
    EXPECT_FALSE(Opt.Built);
    EXPECT_TRUE(Opt.OptUnits.empty());
    EXPECT_FALSE(std::filesystem::exists(MapPath));
    EXPECT_FALSE(std::filesystem::exists(OptPath));

    EXPECT_EQ(EndExport(Doc, Cam, Opt, MapPath, OptPath), 21312);
    EXPECT_TRUE(std::filesystem::exists(MapPath));
    EXPECT_TRUE(std::filesystem::exists(OptPath));
}

} // namespace
} // namespace gm
