// Frames drawn through the OpenGL device and read back. Expected pixels follow from Direct3D's
// rules worked out by hand: pixel centres on whole coordinates, left and top edges inside,
// counter-clockwise-on-screen faces culled, blending by source alpha.

#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/QX_Error.h"
#include "platform/GlTestSupport.h"
#include "render/NullDevice.h"
#include "render/Scene.h"

namespace gm {
namespace {

using test::At;
using test::BeginFrame;
using test::EndFrame;
using test::Hex;
using test::Near;
using test::Quad;
using test::V;

constexpr TColor32 Black = 0xFF000000u;
constexpr TColor32 Red = 0xFFFF0000u;
constexpr TColor32 Green = 0xFF00FF00u;
constexpr TColor32 Blue = 0xFF0000FFu;

#define EXPECT_PIXEL(image, x, y, colour, tolerance)                                               \
    EXPECT_PRED3(Near, At(image, x, y), colour, tolerance)                                         \
        << "pixel (" << (x) << ", " << (y) << ") is " << Hex(At(image, x, y)) << ", expected "     \
        << Hex(colour)

class GlDeviceTest : public ::testing::TestWithParam<GlDevice::ShaderPath> {
protected:
    void SetUp() override {
        ASSERT_TRUE(Target.Open(800, 600)) << Target.Error();
        Dev.Create(800, 600);
        RecordProperty("device", Dev.Description());
    }

    void TearDown() override { Dev.Release(); }

    // A frame with one draw step between the standard start and end.
    template <class F> QImage Frame(TColor32 clear, F&& draw) {
        BeginFrame(Dev, clear);
        draw();
        EndFrame(Dev);
        return Target.Read();
    }

    bool Tri(const TVertex3D (&v)[3]) {
        const std::uint32_t idx[3] = {0, 1, 2};
        return Dev.DrawIndexedPrimitiveUP(PrimitiveType::TriangleList, 0, 3, 1, idx, v);
    }

    std::unique_ptr<DeviceTexture> Texture(int w, int h, const std::vector<TColor32>& argb) {
        auto tex = Dev.CreateTexture(w, h, TexFormat::A8R8G8B8);
        if (!tex) return tex;
        LockedRect rect;
        if (!tex->LockRect(rect)) return nullptr;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const TColor32 c = argb[std::size_t(y * w + x)];
                auto* p = static_cast<std::uint8_t*>(rect.Bits) + y * rect.Pitch + x * 4;
                const std::uint8_t bgra[4] = {ColorB(c), ColorG(c), ColorR(c), ColorA(c)};
                std::memcpy(p, bgra, 4);
            }
        tex->UnlockRect();
        return tex;
    }

    void UseTexture(DeviceTexture* tex) {
        Dev.SetTexture(0, tex);
        Dev.SetTextureStageState(0, TextureStageState::ColorOp, TexOpSelectArg1);
        Dev.SetTextureStageState(0, TextureStageState::ColorArg1, TexArgTexture);
        Dev.SetTextureStageState(0, TextureStageState::AlphaOp, TexOpModulate);
        Dev.SetTextureStageState(0, TextureStageState::AlphaArg1, TexArgTexture);
        Dev.SetTextureStageState(0, TextureStageState::AlphaArg2, TexArgDiffuse);
    }

    test::GlTarget Target;
    GlDevice Dev{GetParam()};
};

TEST_P(GlDeviceTest, ClearsTheWholeTargetToTheGivenColour) {
    const QImage image = Frame(0xFF336699u, [] {});
    for (auto [x, y] : {std::pair{0, 0}, {799, 0}, {0, 599}, {799, 599}, {400, 300}})
        EXPECT_PIXEL(image, x, y, 0xFF336699u, 0);
    // There is no stencil buffer to clear.
    EXPECT_FALSE(Dev.Clear(ClearTarget | ClearStencil, Black, 1.0f, 0));
}

// Pixel centres lie on whole coordinates: a quad from 100.25 covers the pixels from 101, one
// ending at 300.25 those up to 300. On whole coordinates the left and top edges are inside.
TEST_P(GlDeviceTest, CoversThePixelsDirect3DWould) {
    const QImage image = Frame(Black, [&] {
        Quad(Dev, 100.25f, 50.25f, 300.25f, 150.25f, 0.5f, Red);
        Quad(Dev, 400, 300, 500, 400, 0.5f, Green);
    });
    const struct {
        int X, Y;
        TColor32 Colour;
    } expected[] = {
        {101, 51, Red},    {300, 150, Red},   {100, 51, Black},  {101, 50, Black},
        {301, 150, Black}, {300, 151, Black}, {400, 300, Green}, {499, 399, Green},
        {399, 300, Black}, {400, 299, Black}, {500, 399, Black}, {499, 400, Black},
    };
    for (const auto& e : expected)
        EXPECT_PIXEL(image, e.X, e.Y, e.Colour, 0);
}

TEST_P(GlDeviceTest, ShowsVertexColoursInterpolated) {
    const QImage image = Frame(Black, [&] {
        Quad(Dev, 10, 10, 20, 20, 0.5f, 0xFF102030u);
        // Red on the left edge, blue on the right: pixel 100 lies half-way.
        const TVertex3D v[4] = {V(0, 100, 0.5f, Red), V(200, 100, 0.5f, Blue),
                                V(200, 200, 0.5f, Blue), V(0, 200, 0.5f, Red)};
        const std::uint32_t idx[6] = {0, 1, 2, 2, 3, 0};
        Dev.DrawIndexedPrimitiveUP(PrimitiveType::TriangleList, 0, 4, 2, idx, v);
    });
    EXPECT_PIXEL(image, 15, 15, 0xFF102030u, 0);
    EXPECT_PIXEL(image, 100, 150, 0xFF800080u, 2);
    EXPECT_PIXEL(image, 0, 150, Red, 2);
}

TEST_P(GlDeviceTest, BlendsBySourceAlpha) {
    const QImage image = Frame(Blue, [&] {
        Quad(Dev, 0, 0, 100, 100, 0.5f, 0x80FF0000u);
        Dev.SetRenderState(RenderState::AlphaBlendEnable, 0);
        Quad(Dev, 200, 0, 300, 100, 0.5f, 0x80FF0000u);
    });
    // 255 x 128/255 red over 255 x 127/255 blue; the target stays opaque.
    EXPECT_PIXEL(image, 50, 50, 0xFF80007Fu, 2);
    EXPECT_PIXEL(image, 250, 50, Red, 0);
}

// The triangle (100,100) (200,100) (100,200) runs clockwise on the screen (right, then down-left).
TEST_P(GlDeviceTest, CullsTrianglesCounterClockwiseOnScreen) {
    const TVertex3D cw[3] = {V(100, 100, 0.5f, Red), V(200, 100, 0.5f, Red),
                             V(100, 200, 0.5f, Red)};
    const TVertex3D ccw[3] = {cw[0], cw[2], cw[1]};
    const struct {
        std::uint32_t Cull;
        bool CwDrawn, CcwDrawn;
    } cases[] = {{CullCCW, true, false}, {CullCW, false, true}, {CullNone, true, true}};
    for (const auto& c : cases) {
        for (const bool clockwise : {true, false}) {
            const QImage image = Frame(Black, [&] {
                Dev.SetRenderState(RenderState::CullMode, c.Cull);
                Tri(clockwise ? cw : ccw);
            });
            const bool drawn = clockwise ? c.CwDrawn : c.CcwDrawn;
            EXPECT_PIXEL(image, 120, 120, drawn ? Red : Black, 0)
                << "cull mode " << c.Cull << (clockwise ? " clockwise" : " counter-clockwise");
        }
    }
}

// A near green quad (depth 0.2) then a far red one (0.8) over the same pixels.
TEST_P(GlDeviceTest, TestsAndWritesDepthAsSwitched) {
    const struct {
        const char* Name;
        std::uint32_t NearZEnable, NearZWrite, FarZEnable;
        float FarZ;
        TColor32 Shown;
    } cases[] = {
        {"depth test on", 1, 1, 1, 0.8f, Green},
        {"far quad drawn without the test", 1, 1, 0, 0.8f, Red},
        {"near quad wrote no depth", 1, 0, 1, 0.8f, Red},
        {"near quad drawn without the test writes nothing", 0, 1, 1, 0.8f, Red},
        {"equal depth passes less-or-equal", 1, 1, 1, 0.2f, Red},
    };
    for (const auto& c : cases) {
        const QImage image = Frame(Black, [&] {
            Dev.SetRenderState(RenderState::ZEnable, c.NearZEnable);
            Dev.SetRenderState(RenderState::ZWriteEnable, c.NearZWrite);
            Quad(Dev, 100, 100, 200, 200, 0.2f, Green);
            Dev.SetRenderState(RenderState::ZEnable, c.FarZEnable);
            Dev.SetRenderState(RenderState::ZWriteEnable, 1);
            Quad(Dev, 100, 100, 200, 200, c.FarZ, Red);
        });
        EXPECT_PIXEL(image, 150, 150, c.Shown, 0) << c.Name;
    }
}

TEST_P(GlDeviceTest, ClearsDepthToTheGivenValue) {
    Dev.Clear(ClearTarget | ClearZBuffer, Black, 0.4f, 0);
    Dev.BeginScene();
    Dev.SetVertexShader(FVF_Vertex3D);
    Quad(Dev, 0, 0, 100, 100, 0.5f, Red);
    Quad(Dev, 100, 0, 200, 100, 0.3f, Green);
    EndFrame(Dev);
    const QImage image = Target.Read();
    EXPECT_PIXEL(image, 150, 50, Green, 0);
    EXPECT_NE(At(image, 50, 50), Red);
}

// A 2 x 2 texture over a 200 x 200 quad: pixel 50 samples texel 0's centre, pixel 100 the point
// where all four meet (linear filtering averages them).
TEST_P(GlDeviceTest, TexturedQuadTakesColourFromTextureAndAlphaFromBoth) {
    auto tex = Texture(2, 2, {Red, Green, Blue, 0x80FFFFFFu});
    ASSERT_NE(tex, nullptr);
    for (const TColor32 vertex : {0xFF00FFFFu, 0x8000FFFFu}) {
        const QImage image = Frame(Black, [&] {
            UseTexture(tex.get());
            Quad(Dev, 0, 0, 200, 200, 0.5f, vertex);
        });
        const bool half = ColorA(vertex) == 0x80;
        // Vertex colour cyan is ignored; only its alpha counts.
        EXPECT_PIXEL(image, 50, 50, half ? 0xFF800000u : Red, 2);
        EXPECT_PIXEL(image, 150, 50, half ? 0xFF008000u : Green, 2);
        EXPECT_PIXEL(image, 50, 150, half ? 0xFF000080u : Blue, 2);
        // White at alpha 128/255, times 128/255 for the half-transparent vertices.
        EXPECT_PIXEL(image, 150, 150, half ? 0xFF404040u : 0xFF808080u, 2);
        // The mean colour (127.5 each) at the mean alpha ((3 + 128/255) / 4).
        EXPECT_PIXEL(image, 100, 100, half ? 0xFF383838u : 0xFF707070u, 3);
    }
}

TEST_P(GlDeviceTest, UntexturedDrawsAfterATexturedOneShowVertexColours) {
    auto tex = Texture(1, 1, {Red});
    const QImage image = Frame(Black, [&] {
        UseTexture(tex.get());
        Quad(Dev, 0, 0, 100, 100, 0.5f, Green);
        Dev.SetTexture(0, nullptr); // the stage still selects the texture colour
        Quad(Dev, 100, 0, 200, 100, 0.5f, Green);
    });
    EXPECT_PIXEL(image, 50, 50, Red, 0);
    EXPECT_PIXEL(image, 150, 50, Green, 0);
}

TEST_P(GlDeviceTest, TexturePixelsReachTheNextDrawAfterUnlock) {
    auto tex = Texture(1, 1, {Red});
    auto draw = [&] {
        return Frame(Black, [&] {
            UseTexture(tex.get());
            Quad(Dev, 0, 0, 100, 100, 0.5f, 0xFFFFFFFFu);
        });
    };
    EXPECT_PIXEL(draw(), 50, 50, Red, 0);
    LockedRect rect;
    ASSERT_TRUE(tex->LockRect(rect));
    const std::uint8_t bgra[4] = {0xFF, 0, 0, 0xFF};
    std::memcpy(rect.Bits, bgra, 4);
    ASSERT_TRUE(tex->UnlockRect());
    EXPECT_PIXEL(draw(), 50, 50, Blue, 0);
}

// A texture destroyed in the middle of a scene: what was drawn with it before still shows.
TEST_P(GlDeviceTest, ATextureDestroyedMidSceneKeepsItsEarlierDraws) {
    auto tex = Texture(1, 1, {Red});
    const QImage image = Frame(Black, [&] {
        UseTexture(tex.get());
        Quad(Dev, 0, 0, 100, 100, 0.5f, 0xFFFFFFFFu);
        tex.reset();
        Quad(Dev, 100, 0, 200, 100, 0.5f, Green);
    });
    EXPECT_PIXEL(image, 50, 50, Red, 0);
    EXPECT_PIXEL(image, 150, 50, Green, 0);
}

// A line lights the pixels whose centres it runs through, without its last pixel.
TEST_P(GlDeviceTest, LinesLightTheRowTheyRunAlong) {
    const QImage image = Frame(Black, [&] {
        const TVertex3D v[2] = {V(100, 50, 0.5f, Red), V(300, 50, 0.5f, Red)};
        const std::uint32_t idx[2] = {0, 1};
        Dev.DrawIndexedPrimitiveUP(PrimitiveType::LineList, 0, 2, 1, idx, v);
    });
    EXPECT_PIXEL(image, 100, 50, Red, 0);
    EXPECT_PIXEL(image, 299, 50, Red, 0);
    for (auto [x, y] : {std::pair{99, 50}, {300, 50}, {200, 49}, {200, 51}})
        EXPECT_PIXEL(image, x, y, Black, 0);
}

// Thousands of small draws with the same state are one OpenGL draw call, and merging keeps their
// order: with the depth test off the last quad drawn over a pixel is the one that shows.
TEST_P(GlDeviceTest, MergesConsecutiveDrawsIntoFewCallsInOrder) {
    auto tex = Texture(1, 1, {Green});
    const QImage image = Frame(Black, [&] {
        Dev.SetRenderState(RenderState::ZEnable, 0);
        for (int i = 0; i < 20000; ++i) {
            if (i == 10000) UseTexture(tex.get());
            if (i == 15000) Dev.SetTexture(0, nullptr);
            const float x = float(i % 100) * 4;
            Quad(Dev, x, 0, x + 20, 20, 0.5f, i < 19999 ? Red : Blue);
        }
    });
    EXPECT_EQ(Dev.DrawCallsLastFrame(), 3);
    EXPECT_PIXEL(image, 5, 5, Red, 0);    // last covered by draw 19900, untextured
    EXPECT_PIXEL(image, 400, 5, Blue, 0); // the last draw (x 396 .. 416)
    EXPECT_PIXEL(image, 800 - 1, 5, Black, 0);
}

TEST_P(GlDeviceTest, RefusesCallsOutOfPlace) {
    const TVertex3D v[3] = {V(0, 0, 0, Red), V(10, 0, 0, Red), V(0, 10, 0, Red)};
    const std::uint32_t idx[3] = {0, 1, 2};
    Dev.SetVertexShader(FVF_Vertex3D);
    EXPECT_FALSE(Dev.DrawIndexedPrimitiveUP(PrimitiveType::TriangleList, 0, 3, 1, idx, v))
        << "outside a scene";
    EXPECT_TRUE(Dev.BeginScene());
    EXPECT_FALSE(Dev.BeginScene());
    EXPECT_FALSE(Dev.SetVertexShader(0x142));
    const std::uint32_t outside[3] = {0, 1, 3};
    EXPECT_FALSE(Dev.DrawIndexedPrimitiveUP(PrimitiveType::TriangleList, 0, 3, 1, outside, v));
    auto foreign = MakeMemoryTexture(1, 1);
    EXPECT_FALSE(Dev.SetTexture(0, foreign.get()));
    EXPECT_TRUE(Dev.EndScene());
    EXPECT_FALSE(Dev.EndScene());
    EXPECT_EQ(Dev.CreateTexture(0, 4, TexFormat::A8R8G8B8), nullptr);
    EXPECT_EQ(Dev.CreateTexture(1 << 20, 4, TexFormat::A8R8G8B8), nullptr);
}

// Release keeps textures; after a new Create they are uploaded again and draw as before.
TEST_P(GlDeviceTest, TexturesSurviveReleaseAndCreate) {
    auto tex = Texture(1, 1, {Red});
    auto draw = [&] {
        return Frame(Black, [&] {
            UseTexture(tex.get());
            Quad(Dev, 0, 0, 100, 100, 0.5f, 0xFFFFFFFFu);
        });
    };
    EXPECT_PIXEL(draw(), 50, 50, Red, 0);
    Dev.Release();
    EXPECT_FALSE(Dev.BeginScene());
    Dev.Create(800, 600);
    EXPECT_PIXEL(draw(), 50, 50, Red, 0);
    // A texture outliving its device stays usable as memory.
    Dev.Release();
    {
        GlDevice other(GetParam());
        other.Create(800, 600);
        tex = Texture(1, 1, {Red}); // made on Dev: fails, Dev is released
        EXPECT_EQ(tex, nullptr);
        tex = other.CreateTexture(1, 1, TexFormat::A8R8G8B8);
        ASSERT_NE(tex, nullptr);
    }
    LockedRect rect;
    EXPECT_TRUE(tex->LockRect(rect));
    EXPECT_TRUE(tex->UnlockRect());
    tex.reset();
    Dev.Create(800, 600);
}

class NoImages : public ImageDecoder {
public:
    bool ReadStart(const std::string&, int&, int&) override { return false; }
    bool Read(void*, int, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
              int) override {
        return false;
    }
};

// The editor's case: many small scene objects, each drawn node by node with its own state calls,
// come down to one OpenGL call per run of equal state. Layer 0 holds lines and the selection
// rectangle (both windings: culling leaves one of each pair, blended once over the lines); layer 1
// markers without depth test, whose vertices reach beyond depth 1 and must not be clipped.
TEST_P(GlDeviceTest, AFrameOfManySceneObjectsCostsAFewDrawCalls) {
    NoImages decoder;
    Scene scene(decoder, TexFileNaming{"", WideToAnsiQX, nullptr});
    scene.SetDevice(&Dev);
    for (int i = 0; i < 10000; ++i) {
        TgmObj3D* line = scene.Obj3DNew();
        line->SetVertexCount(2);
        const float y = float(i % 500);
        *line->Vertex(0) = V(0, y, 0.5f, Green);
        *line->Vertex(1) = V(300, y, 0.5f, Green);
        line->AddLine(0, 1);
        TgmObj3D* marker = scene.Obj3DNew();
        marker->BuildMarker(3, Red, 3.0f);
        marker->MoveTo(TVec3{float(400 + i % 300), float(i % 200), 0.9f});
        marker->Layer = 1;
        marker->DepthTest = false;
    }
    TgmObj3D* rubber = RubberObjNew(scene);
    RubberObjSet(*rubber, 100, 250, 200, 200); // from bottom left to top right
    const QImage image = Frame(Black, [&] {
        scene.DrawLayer(0);
        scene.DrawLayer(1);
    });
    EXPECT_LE(Dev.DrawCallsLastFrame(), 3); // lines, the rectangle, markers
    EXPECT_PIXEL(image, 10, 10, Green, 0);
    EXPECT_PIXEL(image, 500, 100, Red, 0);
    EXPECT_PIXEL(image, 150, 225, 0xFF807F00u, 2); // half-transparent red over green
    EXPECT_PIXEL(image, 750, 300, Black, 0);
    scene.Obj3DFreeAll();
}

// Draws may join an earlier batch ahead of draws they cannot overlap. A crowd of small, partly
// overlapping, half-transparent draws of interleaved states (textures, lines, depth test on and
// off, culling) must give exactly the picture of the draws kept in call order, in fewer calls.
TEST_P(GlDeviceTest, ReorderedBatchesDrawExactlyTheSamePicture) {
    auto tex1 = Texture(2, 2, {Red, Green, Blue, 0x80FFFFFFu});
    auto tex2 = Texture(1, 1, {0xC0FFFF00u});
    ASSERT_TRUE(tex1 && tex2);
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    struct Draw {
        int Kind; // 0 untextured, 1 and 2 textured, 3 line
        bool Depth;
        TVertex3D V[3];
    };
    std::vector<Draw> draws;
    for (int i = 0; i < 1500; ++i) {
        Draw d{};
        d.Kind = static_cast<int>(next() % 4);
        d.Depth = next() % 3 != 0;
        const float x = float(next() % 780), y = float(next() % 580);
        const float size = next() % 10 == 0 ? 120.0f : 14.0f;
        const float z = float(next() % 1000) / 1000.0f;
        const TColor32 colour = (next() & 0x00FFFFFFu) | (next() % 2 ? 0xFF000000u : 0x80000000u);
        // Both windings, so that culling matters too.
        const bool flip = next() % 2 != 0;
        d.V[0] = V(x, y, z, colour, 0, 0);
        d.V[flip ? 2 : 1] = V(x + size, y + size / 3, z, colour, 1, 0);
        d.V[flip ? 1 : 2] = V(x + size / 2, y + size, z, colour, 0, 1);
        draws.push_back(d);
    }
    auto drawAll = [&] {
        for (const Draw& d : draws) {
            Dev.SetRenderState(RenderState::ZEnable, d.Depth ? 1 : 0);
            Dev.SetRenderState(RenderState::ZWriteEnable, d.Depth ? 1 : 0);
            if (d.Kind == 1 || d.Kind == 2)
                UseTexture(d.Kind == 1 ? tex1.get() : tex2.get());
            else
                Dev.SetTexture(0, nullptr);
            if (d.Kind == 3) {
                const std::uint32_t idx[2] = {0, 1};
                Dev.DrawIndexedPrimitiveUP(PrimitiveType::LineList, 0, 2, 1, idx, d.V);
            } else {
                Tri(d.V);
            }
        }
    };
    const QImage reordered = Frame(Black, drawAll);
    const int reorderedCalls = Dev.DrawCallsLastFrame();
    Dev.SetReordering(false);
    const QImage inOrder = Frame(Black, drawAll);
    const int inOrderCalls = Dev.DrawCallsLastFrame();
    Dev.SetReordering(true);
    ASSERT_EQ(reordered.size(), inOrder.size());
    int differing = 0;
    for (int y = 0; y < inOrder.height(); ++y)
        for (int x = 0; x < inOrder.width(); ++x)
            differing += At(reordered, x, y) != At(inOrder, x, y);
    EXPECT_EQ(differing, 0);
    EXPECT_LT(reorderedCalls, inOrderCalls);
    RecordProperty("calls", std::to_string(reorderedCalls) + " of " + std::to_string(inOrderCalls));
}

std::string PathName(const ::testing::TestParamInfo<GlDevice::ShaderPath>& param) {
    return param.param == GlDevice::ShaderPath::Auto ? "Auto" : "Legacy";
}

INSTANTIATE_TEST_SUITE_P(ShaderPaths, GlDeviceTest,
                         ::testing::Values(GlDevice::ShaderPath::Auto,
                                           GlDevice::ShaderPath::Legacy),
                         PathName);

// Logical pixels scaled by two: a quad on whole logical pixels covers exactly the device pixels of
// those logical pixels, and a line the device rows of its logical row.
TEST(GlDeviceHiDpi, ScalesLogicalPixelsOntoTheDevicePixels) {
    test::GlTarget target;
    ASSERT_TRUE(target.Open(1600, 1200)) << target.Error();
    GlDevice dev;
    dev.Create(800, 600);
    dev.SetPixelSize(1600, 1200);
    BeginFrame(dev, Black);
    Quad(dev, 100, 100, 200, 150, 0.5f, Red);
    const TVertex3D v[2] = {V(100, 50, 0.5f, Green), V(300, 50, 0.5f, Green)};
    const std::uint32_t idx[2] = {0, 1};
    dev.DrawIndexedPrimitiveUP(PrimitiveType::LineList, 0, 2, 1, idx, v);
    EndFrame(dev);
    const QImage image = target.Read();
    ASSERT_EQ(image.width(), 1600);
    EXPECT_PIXEL(image, 200, 200, Red, 0);
    EXPECT_PIXEL(image, 399, 299, Red, 0);
    for (auto [x, y] : {std::pair{199, 200}, {200, 199}, {400, 299}, {399, 300}})
        EXPECT_PIXEL(image, x, y, Black, 0);
    // The rows are exact; where a wide line ends is the rasteriser's choice, within a pixel.
    for (auto [x, y] : {std::pair{201, 100}, {201, 101}, {598, 100}, {598, 101}})
        EXPECT_PIXEL(image, x, y, Green, 0);
    for (auto [x, y] : {std::pair{300, 99}, {300, 102}, {198, 100}, {602, 100}})
        EXPECT_PIXEL(image, x, y, Black, 0);
    dev.Release();
}

TEST(GlDeviceCreate, NeedsACurrentContext) {
    GlDevice dev;
    try {
        dev.Create(800, 600);
        FAIL() << "created without a context";
    } catch (const ErrorQX& e) {
        EXPECT_EQ(e.Message(), "CreateDevice. No OpenGL context is current");
    }
    EXPECT_FALSE(dev.Created());
    EXPECT_EQ(dev.CreateTexture(1, 1, TexFormat::A8R8G8B8), nullptr);
    EXPECT_FALSE(dev.Present());
}

TEST(GlDeviceCreate, NamesTheOpenGLVersionItCannotUse) {
    const struct {
        int Major, Minor;
        bool Es;
        const char* Problem;
    } cases[] = {
        {1, 4, false, "CreateDevice. OpenGL 2.1 or later is needed; this display offers 1.4"},
        {2, 0, false, "CreateDevice. OpenGL 2.1 or later is needed; this display offers 2.0"},
        {2, 1, false, ""},
        {3, 3, false, ""},
        {4, 6, false, ""},
        {3, 2, true,
         "CreateDevice. Desktop OpenGL 2.1 or later is needed; this display offers OpenGL ES 3.2"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GlVersionProblem(c.Major, c.Minor, c.Es), c.Problem);
}

} // namespace
} // namespace gm
