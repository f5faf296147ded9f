#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "MemoryDecoder.h"
#include "doubles/RecordingDevice.h"
#include "foundation/QX_Error.h"
#include "render/Scene.h"

namespace gm {
namespace {

using Lines = std::vector<std::string>;

class DrawTest : public ::testing::Test {
protected:
    DrawTest() {
        Decoder.Files["a.png"] = test::SolidImage(1, 1, 0xFF000000u);
        Decoder.Files["b.png"] = test::SolidImage(1, 1, 0xFF000000u);
        Device.Create(800, 600);
        TheScene.SetDevice(&Device);
    }
    // A three-vertex object whose faces use the given textures ("" for none).
    TgmObj3D* Triangles(const std::vector<std::u16string>& textures) {
        TgmObj3D* obj = TheScene.Obj3DNew();
        obj->SetVertexCount(3);
        for (const std::u16string& t : textures)
            obj->AddTriangle(0, 1, 2, t);
        return obj;
    }
    // The log from here on.
    void Reset() { Device.ClearLog(); }

    test::MemoryDecoder Decoder;
    RecordingDevice Device;
    Scene TheScene{Decoder, test::TestNaming()};
};

const std::string kDraw = "DrawIndexedPrimitiveUP TRIANGLELIST 0 3 1 [0 1 2]";
const Lines kStage = {"SetTextureStageState 0 COLOROP 2", "SetTextureStageState 0 COLORARG1 2",
                      "SetTextureStageState 0 ALPHAOP 4", "SetTextureStageState 0 ALPHAARG1 2",
                      "SetTextureStageState 0 ALPHAARG2 0"};

Lines Concat(std::initializer_list<Lines> parts) {
    Lines all;
    for (const Lines& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

TEST_F(DrawTest, TextureIsBoundPerTexturedNodeAndUnboundOnlyWhenAnUntexturedOneFollows) {
    TgmObj3D* obj = Triangles({u"", u"a.png", u"b.png", u"", u""});
    Reset();
    TheScene.Draw(*obj);
    const Lines want = Concat({
        {"SetVertexShader 0x144", "SetRenderState ZENABLE 1", "SetRenderState ZWRITEENABLE 1"},
        {kDraw}, // nothing bound yet: no unbind
        {"SetTexture 0 tex1"},
        kStage,
        {kDraw},
        {"SetTexture 0 tex2"},
        kStage,
        {kDraw},
        {"SetTexture 0 none", kDraw},
        {kDraw}, // already unbound
    });
    EXPECT_EQ(Device.Lines(), want);
    EXPECT_FALSE(TheScene.TextureBound());
}

TEST_F(DrawTest, BoundFlagCarriesOverToTheNextObject) {
    TgmObj3D* textured = Triangles({u"a.png"});
    TgmObj3D* plain = Triangles({u""});
    plain->DepthTest = false;
    TheScene.Draw(*textured);
    EXPECT_TRUE(TheScene.TextureBound());
    Reset();
    TheScene.Draw(*plain);
    EXPECT_EQ(Device.Lines(), (Lines{"SetVertexShader 0x144", "SetRenderState ZENABLE 0",
                                     "SetRenderState ZWRITEENABLE 0", "SetTexture 0 none", kDraw}));
}

TEST_F(DrawTest, FaceWhoseTextureFailedDrawsUntextured) {
    TgmObj3D* obj = Triangles({u"a.png", u"missing.png"});
    Reset();
    TheScene.Draw(*obj);
    EXPECT_EQ(Device.Lines(), Concat({{"SetVertexShader 0x144", "SetRenderState ZENABLE 1",
                                       "SetRenderState ZWRITEENABLE 1", "SetTexture 0 tex1"},
                                      kStage,
                                      {kDraw, "SetTexture 0 none", kDraw}}));
}

TEST_F(DrawTest, LinesAndMarkersPassTheWholeVertexArray) {
    TgmObj3D* line = TheScene.Obj3DNew();
    line->SetVertexCount(2);
    line->AddLine(0, 1);
    TgmObj3D* marker = TheScene.Obj3DNew();
    marker->BuildMarker(1, 0xFFFFFFFFu, 3);
    Reset();
    TheScene.Draw(*line);
    TheScene.Draw(*marker);
    EXPECT_EQ(Device.Lines()[3], "DrawIndexedPrimitiveUP LINELIST 0 2 1 [0 1]");
    EXPECT_EQ(Device.Lines()[7],
              "DrawIndexedPrimitiveUP TRIANGLELIST 0 5 4 [4 0 1 4 1 2 3 0 1 3 1 2]");
    EXPECT_EQ(Device.BadDraws(), 0u);
}

TEST_F(DrawTest, NodesThatWouldReadPastTheVerticesAreNotDrawn) {
    TgmObj3D* obj = TheScene.Obj3DNew();
    obj->SetVertexCount(3);
    obj->AddTriangle(0, 1, 3);           // index 3 of 3 vertices
    obj->AddPrim()->PrimCount = 1;       // no indices
    TPrimNode* tooMany = obj->AddPrim(); // claims two triangles, holds one
    tooMany->Indices = {0, 1, 2};
    tooMany->PrimCount = 2;
    obj->AddTriangle(2, 1, 0);
    Reset();
    TheScene.Draw(*obj);
    EXPECT_EQ(Device.Count(DeviceOp::DrawIndexedPrimitiveUP), 1u);
    EXPECT_EQ(Device.Lines().back(), "DrawIndexedPrimitiveUP TRIANGLELIST 0 3 1 [2 1 0]");
}

TEST_F(DrawTest, RefusedVertexFormatRaisesBeforeAnythingElse) {
    TgmObj3D* obj = Triangles({u""});
    Device.FailOn(DeviceOp::SetVertexShader);
    Reset();
    try {
        TheScene.Draw(*obj);
        FAIL() << "no error";
    } catch (const ErrorQX& e) {
        EXPECT_EQ(e.Message(), "TgmObj3D Draw");
    }
    EXPECT_EQ(Device.Lines(), (Lines{"SetVertexShader 0x144 failed"}));
}

TEST_F(DrawTest, OtherDeviceFailuresAreIgnored) {
    TgmObj3D* obj = Triangles({u"a.png", u""});
    Device.FailOn(DeviceOp::SetRenderState);
    Device.FailOn(DeviceOp::SetTexture);
    Device.FailOn(DeviceOp::SetTextureStageState);
    Device.FailOn(DeviceOp::DrawIndexedPrimitiveUP);
    Reset();
    EXPECT_NO_THROW(TheScene.Draw(*obj));
    EXPECT_EQ(Device.Count(DeviceOp::DrawIndexedPrimitiveUP), 2u);
}

TEST_F(DrawTest, LayerDrawsItsVisibleObjectsOldestFirst) {
    // Objects tell themselves apart by their vertex count in the draw lines.
    auto make = [&](int vertices, int layer, bool visible) {
        TgmObj3D* obj = TheScene.Obj3DNew();
        obj->SetVertexCount(vertices);
        obj->AddLine(0, 1);
        obj->Layer = layer;
        obj->Visible = visible;
    };
    make(2, 1, true);
    make(3, 0, true);
    make(4, 1, false); // hidden: not even its vertex format is set
    make(5, 0, true);
    make(6, 1, true);
    Reset();
    TheScene.DrawLayer(0);
    TheScene.DrawLayer(1);
    Lines draws;
    for (const std::string& line : Device.Lines())
        if (line.rfind("DrawIndexedPrimitiveUP", 0) == 0) draws.push_back(line);
    EXPECT_EQ(draws, (Lines{"DrawIndexedPrimitiveUP LINELIST 0 3 1 [0 1]",
                            "DrawIndexedPrimitiveUP LINELIST 0 5 1 [0 1]",
                            "DrawIndexedPrimitiveUP LINELIST 0 2 1 [0 1]",
                            "DrawIndexedPrimitiveUP LINELIST 0 6 1 [0 1]"}));
    EXPECT_EQ(Device.Count(DeviceOp::SetVertexShader), 4u);
}

TEST_F(DrawTest, DrawLayersIsLayerZeroThenLayerOne) {
    // Layers interleaved, textures, hidden objects, and objects freed since the last walk.
    std::vector<TgmObj3D*> objs;
    for (int i = 0; i < 12; ++i) {
        TgmObj3D* obj = Triangles({i % 3 == 0 ? u"a.png" : i % 3 == 1 ? u"" : u"b.png"});
        obj->Layer = i % 2;
        obj->Visible = i % 5 != 4;
        obj->DepthTest = i % 4 != 1;
        objs.push_back(obj);
    }
    TheScene.Obj3DFree(objs[3]);
    TheScene.Obj3DFree(objs[6]);
    Triangles({u""})->Layer = 1; // last drawn: untextured, so both runs start unbound
    ASSERT_FALSE(TheScene.TextureBound());
    Reset();
    TheScene.DrawLayer(0);
    TheScene.DrawLayer(1);
    const Lines apart = Device.Lines();
    ASSERT_FALSE(TheScene.TextureBound());
    Reset();
    TheScene.DrawLayers();
    EXPECT_EQ(Device.Lines(), apart);
    EXPECT_EQ(Device.Count(DeviceOp::DrawIndexedPrimitiveUP), 9u);
}

// A device that only tracks state is spared the calls that set what the layer set last.
class StateTrackingDevice : public RecordingDevice {
public:
    bool NeedsRepeatedStates() const override { return false; }
};

TEST(SceneStatesTest, RepeatsWithinALayerAreLeftOutWhereTheDeviceAllows) {
    test::MemoryDecoder decoder;
    decoder.Files["a.png"] = test::SolidImage(1, 1, 0xFF000000u);
    decoder.Files["b.png"] = test::SolidImage(1, 1, 0xFF000000u);
    StateTrackingDevice device;
    device.Create(800, 600);
    Scene scene(decoder, test::TestNaming());
    scene.SetDevice(&device);
    auto make = [&](const char16_t* texture, bool depth) {
        TgmObj3D* obj = scene.Obj3DNew();
        obj->SetVertexCount(3);
        obj->AddTriangle(0, 1, 2, texture);
        obj->DepthTest = depth;
    };
    make(u"a.png", true);
    make(u"a.png", true);
    make(u"", true);
    make(u"a.png", false);
    make(u"b.png", false);
    device.ClearLog();
    scene.DrawLayers();
    const Lines want = Concat({
        {"SetVertexShader 0x144", "SetRenderState ZENABLE 1", "SetRenderState ZWRITEENABLE 1",
         "SetTexture 0 tex1"},
        kStage,
        {kDraw},
        {kDraw},                      // same texture, same depth: nothing to set
        {"SetTexture 0 none", kDraw}, // unbinding is never left out
        {"SetRenderState ZENABLE 0", "SetRenderState ZWRITEENABLE 0", "SetTexture 0 tex1"},
        kStage, // bound again after the unbind
        {kDraw, "SetTexture 0 tex2"},
        kStage,
        {kDraw},
    });
    EXPECT_EQ(device.Lines(), want);
}

TEST_F(DrawTest, WithoutADeviceNothingIsDrawnAndTexturesLetGoOfTheOldOne) {
    TgmObj3D* obj = Triangles({u"a.png"});
    TheScene.Draw(*obj);
    EXPECT_TRUE(TheScene.TextureBound());
    Reset();
    TheScene.SetDevice(nullptr);
    EXPECT_FALSE(TheScene.TextureBound());
    EXPECT_EQ(Device.Lines(), (Lines{"ReleaseTexture tex1"}));
    TheScene.DrawLayer(0);
    EXPECT_EQ(Device.Lines().size(), 1u);
}

} // namespace
} // namespace gm
