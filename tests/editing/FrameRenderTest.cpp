#include "editing/FrameRender.h"

#include <gtest/gtest.h>

#include "doubles/RecordingDevice.h"
#include "foundation/QX_Error.h"
#include "render/Camera.h"
#include "render/MemoryDecoder.h"
#include "render/Scene.h"
#include "world/ViewFlags.h"
#include "world/WorldDoc.h"

namespace gm {
namespace {

class FrameRenderTest : public ::testing::Test {
protected:
    FrameRenderTest() {
        Dev.Create(800, 600);
        TheScene.SetDevice(&Dev);
        Doc.SetScene(&TheScene);
    }
    ~FrameRenderTest() override {
        Doc.WorldClear();
        TheScene.Obj3DFreeAll();
        TheScene.SetDevice(nullptr);
    }
    test::MemoryDecoder Decoder;
    RecordingDevice Dev;
    Scene TheScene{Decoder, test::TestNaming()};
    WorldDoc Doc;
    Camera Cam;
    ViewFlags Flags;
};

TEST_F(FrameRenderTest, DrawStepsRunInOrderWithTheFrameStates) {
    Dev.ClearLog();
    FrameDraw(Dev, TheScene);
    const std::vector<std::string> expected = {
        "Clear 3 FF000000 1 0",
        "BeginScene",
        "SetRenderState COLORVERTEX 1",
        "SetRenderState ALPHABLENDENABLE 1",
        "SetRenderState SRCBLEND 5",
        "SetRenderState DESTBLEND 6",
        "SetRenderState CULLMODE 3",
        "SetRenderState CLIPPING 0",
        "SetRenderState DITHERENABLE 1",
        "SetRenderState ZENABLE 1",
        "SetRenderState ZWRITEENABLE 1",
        "SetRenderState ZFUNC 4",
        "SetTextureStageState 0 MAGFILTER 2",
        "SetTextureStageState 0 MINFILTER 2",
        "SetTextureStageState 0 MIPFILTER 2",
        "EndScene",
        "Present",
    };
    EXPECT_EQ(Dev.Lines(), expected);
}

TEST_F(FrameRenderTest, EachFailingStepRaisesItsMessage) {
    const std::pair<DeviceOp, const char*> cases[] = {
        {DeviceOp::Clear, "TgmObj3D Dev.Clear"},
        {DeviceOp::BeginScene, "TgmObj3D BeginScene"},
        {DeviceOp::EndScene, "TgmObj3D EndScene"},
        {DeviceOp::Present, "TgmObj3D Present"},
    };
    for (const auto& [op, message] : cases) {
        Dev.FailOn(op);
        try {
            FrameDraw(Dev, TheScene);
            ADD_FAILURE() << message;
        } catch (const ErrorQX& e) {
            EXPECT_EQ(e.Message(), message);
        }
        Dev.FailOn(op, false);
    }
}

TEST_F(FrameRenderTest, GridIsDrawnAsOneLineListAfterTheListUpdate) {
    Doc.WorldLines.WorldGridBuild(Doc.WorldRadius, 32, 0xC0FFFFFF, 0x00FFFFFF);
    FrameUpdateLists(Doc, TheScene, Cam, Flags);
    Dev.ClearLog();
    FrameDraw(Dev, TheScene);
    EXPECT_EQ(Dev.Count(DeviceOp::DrawIndexedPrimitiveUP), 1u);
    bool found = false;
    for (const std::string& line : Dev.Lines())
        if (line.rfind("DrawIndexedPrimitiveUP LINELIST 0 2752 1376", 0) == 0) found = true;
    EXPECT_TRUE(found);
}

} // namespace
} // namespace gm
