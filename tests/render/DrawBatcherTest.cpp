#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
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

// With the drawing area known, draws of many states interleaved and scattered over it. Each draw
// carries its number in its texture coordinate. Whatever the batches, the draws handed on must
// be all draws once each, each batch of one state, and every two draws that could share a pixel
// (boxes of their vertices, widened by the pixel a line or an edge may spill into) in their
// call order.
TEST(DrawBatcherReorderTest, DrawsThatMayShareAPixelKeepTheirOrder) {
    struct Item {
        PrimitiveType Type;
        int State;
        std::vector<TVertex3D> V;
        float X0, Y0, X1, Y1;
    };
    auto textures = std::vector<std::unique_ptr<MemoryTexture>>();
    textures.push_back(MakeMemoryTexture(1, 1));
    textures.push_back(MakeMemoryTexture(1, 1));
    for (uint32_t seed : {1u, 2u, 3u, 99u}) {
        SCOPED_TRACE(seed);
        auto next = [&seed] {
            seed = seed * 1664525u + 1013904223u;
            return seed >> 8;
        };
        RecordingSink sink;
        DrawBatcher batcher(sink);
        batcher.SetAreaSize(320, 240);
        std::vector<Item> items;
        const int count = 3000;
        for (int i = 0; i < count; ++i) {
            Item it;
            it.Type = next() % 3 == 0 ? PrimitiveType::LineList : PrimitiveType::TriangleList;
            it.State = static_cast<int>(next() % 6); // depth on or off, no texture or one of two
            const int n = it.Type == PrimitiveType::LineList ? 2 : 3;
            const float x = float(next() % 360) - 20, y = float(next() % 280) - 20;
            const float size = next() % 20 == 0 ? 200.0f : float(next() % 12);
            for (int k = 0; k < n; ++k) {
                const float vx = x + (k == 1 ? size : 0), vy = y + (k == 2 ? size : 0);
                it.V.push_back(MakeVertex(0xFFFFFFFFu, vx, vy, 0.5f, float(i), 0));
            }
            if (next() % 200 == 0) it.V[0].x = std::numeric_limits<float>::quiet_NaN();
            it.X0 = it.Y0 = 1e30f;
            it.X1 = it.Y1 = -1e30f;
            for (const TVertex3D& v : it.V) {
                it.X0 = std::min(it.X0, v.x - 1);
                it.Y0 = std::min(it.Y0, v.y - 1);
                it.X1 = std::max(it.X1, v.x + 1);
                it.Y1 = std::max(it.Y1, v.y + 1);
            }
            if (std::isnan(it.V[0].x)) it.X0 = it.Y0 = -1e30f, it.X1 = it.Y1 = 1e30f;
            batcher.SetRenderState(RenderState::ZEnable, it.State & 1);
            const int texture = it.State >> 1;
            batcher.SetTexture(0, texture ? textures[std::size_t(texture - 1)].get() : nullptr);
            const std::uint32_t idx[3] = {0, 1, 2};
            ASSERT_TRUE(batcher.Draw(it.Type, 0, std::uint32_t(n), 1, idx, it.V.data()));
            items.push_back(std::move(it));
        }
        batcher.Flush();

        std::vector<int> order;
        for (const Recorded& b : sink.Batches) {
            int state = -1;
            for (std::size_t k = 0; k < b.Indices.size(); ++k) {
                const int id = static_cast<int>(b.Vertices[b.Indices[k]].tu);
                if (order.empty() || order.back() != id) order.push_back(id);
                const Item& it = items[static_cast<std::size_t>(id)];
                ASSERT_EQ(it.Type, b.Type);
                if (state < 0) state = it.State;
                ASSERT_EQ(it.State, state) << "a batch of two states";
            }
        }
        ASSERT_EQ(order.size(), items.size());
        std::vector<int> position(items.size(), -1);
        for (std::size_t p = 0; p < order.size(); ++p) {
            ASSERT_EQ(position[static_cast<std::size_t>(order[p])], -1) << "drawn twice";
            position[static_cast<std::size_t>(order[p])] = static_cast<int>(p);
        }
        for (std::size_t i = 0; i < items.size(); ++i)
            for (std::size_t j = i + 1; j < items.size(); ++j) {
                const Item& a = items[i];
                const Item& b = items[j];
                const bool overlap = a.X0 <= b.X1 && b.X0 <= a.X1 && a.Y0 <= b.Y1 && b.Y0 <= a.Y1;
                if (overlap) {
                    ASSERT_LT(position[i], position[j]) << "draws " << i << " and " << j;
                }
            }
        // Reordering has to have merged something for the test to mean anything.
        EXPECT_LT(sink.Batches.size(), items.size() / 2);
    }
}

TEST_F(DrawBatcherTest, WithoutAnAreaBatchesFollowTheCallOrder) {
    const auto far1 = Verts({0, 1, 2});
    const auto far2 = Verts({500, 501, 502});
    auto tex = MakeMemoryTexture(1, 1);
    ASSERT_TRUE(Tri(far1, {0, 1, 2}));
    Batcher.SetTexture(0, tex.get());
    ASSERT_TRUE(Tri(far2, {0, 1, 2}));
    Batcher.SetTexture(0, nullptr);
    ASSERT_TRUE(Tri(far2, {0, 1, 2}));
    Batcher.Flush();
    EXPECT_EQ(Sink.Batches.size(), 3u);

    // Known area: the third draw overlaps neither of the first two, so it joins the first.
    Sink.Batches.clear();
    Batcher.SetAreaSize(800, 600);
    ASSERT_TRUE(Tri(far1, {0, 1, 2}));
    Batcher.SetTexture(0, tex.get());
    const auto elsewhere = Verts({300, 301, 302});
    ASSERT_TRUE(Tri(elsewhere, {0, 1, 2}));
    Batcher.SetTexture(0, nullptr);
    ASSERT_TRUE(Tri(far2, {0, 1, 2}));
    Batcher.Flush();
    ASSERT_EQ(Sink.Batches.size(), 2u);
    EXPECT_EQ(Xs(Sink.Batches[0].Vertices), (std::vector<float>{0, 1, 2, 500, 501, 502}));
    EXPECT_EQ(Sink.Batches[1].State.Texture, tex.get());
}

} // namespace
} // namespace gm
