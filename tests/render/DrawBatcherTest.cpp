#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "render/DrawBatcher.h"
#include "render/NullDevice.h"

namespace gm {
namespace {

struct Recorded {
    PrimitiveType Type;
    DrawState State;
    std::vector<TVertex3D> Vertices;
    std::vector<std::uint32_t> Indices;
    std::uint32_t Draws;
};

class RecordingSink : public BatchSink {
public:
    void DrawBatch(const gm::DrawBatch& b) override {
        Batches.push_back({b.Type,
                           b.State,
                           {b.Vertices.begin(), b.Vertices.end()},
                           {b.Indices.begin(), b.Indices.end()},
                           b.Draws});
    }
    std::vector<Recorded> Batches;
};

// Vertices told apart by x.
std::vector<TVertex3D> Verts(std::initializer_list<float> xs) {
    std::vector<TVertex3D> v;
    for (float x : xs)
        v.push_back(MakeVertex(0xFFFFFFFFu, x, 0, 0, 0, 0));
    return v;
}

std::vector<float> Xs(const std::vector<TVertex3D>& v) {
    std::vector<float> xs;
    for (const TVertex3D& t : v)
        xs.push_back(t.x);
    return xs;
}

class DrawBatcherTest : public ::testing::Test {
protected:
    bool Tri(const std::vector<TVertex3D>& v, std::vector<std::uint32_t> idx,
             std::uint32_t minIndex = 0) {
        return Batcher.Draw(PrimitiveType::TriangleList, minIndex,
                            std::uint32_t(v.size()) - minIndex, std::uint32_t(idx.size() / 3),
                            idx.data(), v.data());
    }
    RecordingSink Sink;
    DrawBatcher Batcher{Sink};
};

TEST_F(DrawBatcherTest, MergesSameStateDrawsWithRebasedIndices) {
    const auto a = Verts({1, 2, 3});
    const auto b = Verts({10, 11, 12, 13});
    ASSERT_TRUE(Tri(a, {0, 1, 2}));
    ASSERT_TRUE(Tri(b, {3, 2, 1, 0, 1, 2}));
    // Vertices 6 and 7 of a larger array, drawn from minimum index 6.
    const auto c = Verts({0, 0, 0, 0, 0, 0, 20, 21});
    ASSERT_TRUE(Tri(c, {7, 6, 7}, 6));
    EXPECT_TRUE(Sink.Batches.empty()); // nothing reaches the sink before a flush
    Batcher.Flush();
    ASSERT_EQ(Sink.Batches.size(), 1u);
    const Recorded& r = Sink.Batches[0];
    EXPECT_EQ(r.Draws, 3u);
    EXPECT_EQ(Xs(r.Vertices), (std::vector<float>{1, 2, 3, 10, 11, 12, 13, 20, 21}));
    EXPECT_EQ(r.Indices, (std::vector<std::uint32_t>{0, 1, 2, 6, 5, 4, 3, 4, 5, 8, 7, 8}));
    Batcher.Flush();
    EXPECT_EQ(Sink.Batches.size(), 1u); // nothing pending, nothing sent
}

TEST_F(DrawBatcherTest, KeepsCallOrderAcrossTextureChanges) {
    auto t1 = MakeMemoryTexture(1, 1);
    auto t2 = MakeMemoryTexture(1, 1);
    const struct {
        DeviceTexture* Texture;
        float X;
    } draws[] = {{t1.get(), 1}, {t1.get(), 2}, {t2.get(), 3}, {nullptr, 4}, {t1.get(), 5}};
    for (const auto& d : draws) {
        Batcher.SetTexture(0, d.Texture);
        ASSERT_TRUE(Tri(Verts({d.X, d.X, d.X}), {0, 1, 2}));
    }
    Batcher.Flush();
    ASSERT_EQ(Sink.Batches.size(), 4u);
    const std::vector<std::vector<float>> expected = {
        {1, 1, 1, 2, 2, 2}, {3, 3, 3}, {4, 4, 4}, {5, 5, 5}};
    const DeviceTexture* expectedTex[] = {t1.get(), t2.get(), nullptr, t1.get()};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(Xs(Sink.Batches[i].Vertices), expected[i]) << i;
        EXPECT_EQ(Sink.Batches[i].State.Texture, expectedTex[i]) << i;
    }
}

// What the scene does per object (depth states, vertex shader, texture stage states of textured
// nodes) must not split batches unless the picture would differ.
TEST_F(DrawBatcherTest, SplitsOnlyOnStateThatChangesThePicture) {
    const auto v = Verts({0, 1, 2});
    auto tex = MakeMemoryTexture(1, 1);
    constexpr auto Tris = PrimitiveType::TriangleList;
    constexpr auto Lines = PrimitiveType::LineList;
    struct Case {
        const char* Name;
        PrimitiveType Type;
        bool Textured;
        void (*Change)(DrawBatcher&);
        bool Splits;
    };
    const Case cases[] = {
        {"same depth state again", Tris, false,
         [](DrawBatcher& b) { b.SetRenderState(RenderState::ZEnable, 1); }, false},
        {"depth test off", Tris, false,
         [](DrawBatcher& b) { b.SetRenderState(RenderState::ZEnable, 0); }, true},
        {"depth writes off", Tris, false,
         [](DrawBatcher& b) { b.SetRenderState(RenderState::ZWriteEnable, 0); }, true},
        {"stage states without a texture", Tris, false,
         [](DrawBatcher& b) {
             b.SetTextureStageState(0, TextureStageState::ColorOp, TexOpSelectArg1);
             b.SetTextureStageState(0, TextureStageState::MagFilter, TexFilterLinear);
         },
         false},
        {"stage state changed with a texture", Tris, true,
         [](DrawBatcher& b) {
             b.SetTextureStageState(0, TextureStageState::AlphaOp, TexOpModulate);
         },
         true},
        {"stage state set again with a texture", Tris, true,
         [](DrawBatcher& b) {
             b.SetTextureStageState(0, TextureStageState::AlphaOp, TexOpSelectArg1);
         },
         false},
        {"blend factors while blending is off", Tris, false,
         [](DrawBatcher& b) { b.SetRenderState(RenderState::SrcBlend, BlendSrcAlpha); }, false},
        {"blending on", Tris, false,
         [](DrawBatcher& b) { b.SetRenderState(RenderState::AlphaBlendEnable, 1); }, true},
        {"cull mode between triangles", Tris, false,
         [](DrawBatcher& b) { b.SetRenderState(RenderState::CullMode, CullNone); }, true},
        {"cull mode between lines", Lines, false,
         [](DrawBatcher& b) { b.SetRenderState(RenderState::CullMode, CullNone); }, false},
        {"dithering and clipping", Tris, false,
         [](DrawBatcher& b) {
             b.SetRenderState(RenderState::DitherEnable, 1);
             b.SetRenderState(RenderState::Clipping, 0);
         },
         false},
    };
    for (const Case& c : cases) {
        RecordingSink sink;
        DrawBatcher batcher(sink);
        const std::uint32_t idx[3] = {0, 1, 2};
        if (c.Textured) batcher.SetTexture(0, tex.get());
        batcher.Draw(c.Type, 0, 3, 1, idx, v.data());
        c.Change(batcher);
        batcher.Draw(c.Type, 0, 3, 1, idx, v.data());
        batcher.Flush();
        EXPECT_EQ(sink.Batches.size(), c.Splits ? 2u : 1u) << c.Name;
    }
    // A line after triangles is a new batch whatever the state.
    Tri(v, {0, 1, 2});
    const std::uint32_t line[2] = {0, 1};
    Batcher.Draw(Lines, 0, 3, 1, line, v.data());
    Batcher.Flush();
    EXPECT_EQ(Sink.Batches.size(), 2u);
}

TEST_F(DrawBatcherTest, RefusesDrawsThatWouldReadOutsideTheirVertices) {
    const auto v = Verts({0, 1, 2, 3});
    ASSERT_TRUE(Tri(v, {0, 1, 2}));
    EXPECT_FALSE(Tri(v, {1, 2, 4}));    // past the end
    EXPECT_FALSE(Tri(v, {1, 2, 3}, 2)); // below the minimum index
    EXPECT_FALSE(Batcher.Draw(PrimitiveType::TriangleList, 0, 3, 1, nullptr, v.data()));
    const std::uint32_t idx[3] = {0, 1, 2};
    EXPECT_FALSE(Batcher.Draw(PrimitiveType::TriangleList, 0, 3, 1, idx, nullptr));
    EXPECT_FALSE(Batcher.Draw(PrimitiveType(5), 0, 3, 1, idx, v.data()));
    Batcher.Flush();
    ASSERT_EQ(Sink.Batches.size(), 1u);
    EXPECT_EQ(Sink.Batches[0].Draws, 1u);
    EXPECT_EQ(Sink.Batches[0].Vertices.size(), 4u);
}

// The nodes of one object all pass the object's whole vertex array: one copy serves them while
// the vertices stay the same, a changed array is copied again.
TEST_F(DrawBatcherTest, SharesOneCopyOfAnUnchangedVertexArray) {
    auto v = Verts({0, 1, 2, 3});
    for (int node = 0; node < 10; ++node)
        ASSERT_TRUE(Tri(v, {0, 1, 2}));
    v[0].x = 7;
    ASSERT_TRUE(Tri(v, {0, 1, 2}));
    Batcher.Flush();
    ASSERT_EQ(Sink.Batches.size(), 1u);
    EXPECT_EQ(Xs(Sink.Batches[0].Vertices), (std::vector<float>{0, 1, 2, 3, 7, 1, 2, 3}));
    ASSERT_EQ(Sink.Batches[0].Indices.size(), 33u);
    EXPECT_EQ(Sink.Batches[0].Indices[27], 0u);
    EXPECT_EQ(Sink.Batches[0].Indices[30], 4u);
}

TEST_F(DrawBatcherTest, FlushesBeforeABatchOutgrowsItsLimit) {
    RecordingSink sink;
    DrawBatcher batcher(sink, 8);
    for (int i = 0; i < 5; ++i) {
        const auto v = Verts({float(i), float(i), float(i)});
        const std::uint32_t idx[3] = {0, 1, 2};
        ASSERT_TRUE(batcher.Draw(PrimitiveType::TriangleList, 0, 3, 1, idx, v.data()));
    }
    batcher.Flush();
    // 3 + 3 vertices fit in 8, a third draw would not.
    ASSERT_EQ(sink.Batches.size(), 3u);
    EXPECT_EQ(sink.Batches[0].Vertices.size(), 6u);
    EXPECT_EQ(sink.Batches[2].Vertices.size(), 3u);
    EXPECT_EQ(batcher.BatchCount(), 3u);
}

// A texture that goes away must not be left in a pending batch, where a new texture made at the
// same address could later be mistaken for it.
TEST_F(DrawBatcherTest, ForgettingATextureFlushesTheBatchThatUsesIt) {
    auto tex = MakeMemoryTexture(1, 1);
    auto other = MakeMemoryTexture(1, 1);
    const auto v = Verts({0, 1, 2});
    Batcher.SetTexture(0, tex.get());
    ASSERT_TRUE(Tri(v, {0, 1, 2}));
    Batcher.ForgetTexture(other.get());
    EXPECT_TRUE(Sink.Batches.empty());
    Batcher.ForgetTexture(tex.get());
    ASSERT_EQ(Sink.Batches.size(), 1u);
    EXPECT_EQ(Sink.Batches[0].State.Texture, tex.get());
    EXPECT_EQ(Batcher.State().Texture, nullptr);
    ASSERT_TRUE(Tri(v, {0, 1, 2}));
    Batcher.Flush();
    ASSERT_EQ(Sink.Batches.size(), 2u);
    EXPECT_EQ(Sink.Batches[1].State.Texture, nullptr);
}

} // namespace
} // namespace gm
