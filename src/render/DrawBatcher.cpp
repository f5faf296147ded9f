#include "render/DrawBatcher.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace gm {

DrawState EffectiveState(const DrawState& state, PrimitiveType type) {
    DrawState s = state;
    // Depth writes and the comparison only exist while the depth test is on.
    if (!s.ZEnable) {
        s.ZWriteEnable = 0;
        s.ZFunc = 0;
    }
    if (!s.AlphaBlendEnable) {
        s.SrcBlend = 0;
        s.DestBlend = 0;
    }
    // Lines have no faces to cull.
    if (type == PrimitiveType::LineList) s.CullMode = 0;
    if (!s.Textured()) {
        s.Texture = nullptr;
        s.ColorOp = s.ColorArg1 = s.ColorArg2 = 0;
        s.AlphaOp = s.AlphaArg1 = s.AlphaArg2 = 0;
        s.MagFilter = s.MinFilter = 0;
    }
    return s;
}

DrawBatcher::DrawBatcher(BatchSink& sink, std::size_t maxVertices)
    : Sink_(sink), MaxVertices_(maxVertices) {}

bool DrawBatcher::SetRenderState(RenderState state, std::uint32_t value) {
    EffectiveValid_ = false;
    switch (state) {
    case RenderState::ZEnable:
        State_.ZEnable = value;
        break;
    case RenderState::ZWriteEnable:
        State_.ZWriteEnable = value;
        break;
    case RenderState::ZFunc:
        State_.ZFunc = value;
        break;
    case RenderState::AlphaBlendEnable:
        State_.AlphaBlendEnable = value;
        break;
    case RenderState::SrcBlend:
        State_.SrcBlend = value;
        break;
    case RenderState::DestBlend:
        State_.DestBlend = value;
        break;
    case RenderState::CullMode:
        State_.CullMode = value;
        break;
    case RenderState::DitherEnable:
    case RenderState::Clipping:
    case RenderState::ColorVertex:
        // Dithering is the rasteriser's business; pre-transformed vertices are never clipped; the
        // vertex colour is always used (there is no lighting).
        break;
    }
    return true;
}

bool DrawBatcher::SetTextureStageState(std::uint32_t stage, TextureStageState state,
                                       std::uint32_t value) {
    if (stage != 0) return false;
    EffectiveValid_ = false;
    switch (state) {
    case TextureStageState::ColorOp:
        State_.ColorOp = value;
        break;
    case TextureStageState::ColorArg1:
        State_.ColorArg1 = value;
        break;
    case TextureStageState::ColorArg2:
        State_.ColorArg2 = value;
        break;
    case TextureStageState::AlphaOp:
        State_.AlphaOp = value;
        break;
    case TextureStageState::AlphaArg1:
        State_.AlphaArg1 = value;
        break;
    case TextureStageState::AlphaArg2:
        State_.AlphaArg2 = value;
        break;
    case TextureStageState::MagFilter:
        State_.MagFilter = value;
        break;
    case TextureStageState::MinFilter:
        State_.MinFilter = value;
        break;
    case TextureStageState::MipFilter:
        // Textures have a single level.
        break;
    }
    return true;
}

bool DrawBatcher::SetTexture(std::uint32_t stage, DeviceTexture* texture) {
    if (stage != 0) return false;
    EffectiveValid_ = false;
    State_.Texture = texture;
    return true;
}

void DrawBatcher::SetAreaSize(int width, int height) {
    Flush();
    if (width <= 0 || height <= 0) {
        TileColumns_ = TileRows_ = RowWords_ = 0;
    } else {
        TileColumns_ = (width + TileSize - 1) / TileSize;
        TileRows_ = (height + TileSize - 1) / TileSize;
        RowWords_ = (TileColumns_ + 63) / 64;
    }
    for (Batch& b : Batches_)
        b.Tiles.clear();
}

DrawBatcher::Footprint DrawBatcher::FootprintOf(const TVertex3D* vertices,
                                                std::uint32_t count) const {
    const Footprint all{0, 0, TileColumns_ - 1, TileRows_ - 1};
    // A vertex that is not a number, or beyond any sensible size, may put the draw anywhere.
    constexpr float Far = 1e7f;
    float minX = Far, maxX = -Far, minY = Far, maxY = -Far;
    for (std::uint32_t i = 0; i < count; ++i) {
        const float x = vertices[i].x, y = vertices[i].y;
        if (!(x >= -Far && x <= Far && y >= -Far && y <= Far)) return all;
        minX = x < minX ? x : minX;
        maxX = x > maxX ? x : maxX;
        minY = y < minY ? y : minY;
        maxY = y > maxY ? y : maxY;
    }
    // Pixels outside the area do not exist, so tiles clamp to its edge (and values within
    // Far of it convert to int safely).
    auto tile = [](float v, int last) {
        if (v < 0) return 0;
        const int t = static_cast<int>(v * (1.0f / static_cast<float>(TileSize)));
        return t > last ? last : t;
    };
    return Footprint{tile(minX - Reach, TileColumns_ - 1), tile(minY - Reach, TileRows_ - 1),
                     tile(maxX + Reach, TileColumns_ - 1), tile(maxY + Reach, TileRows_ - 1)};
}

namespace {

// Bits x0 .. x1 of the 64-bit word that holds column `word * 64`.
std::uint64_t ColumnMask(int word, int x0, int x1) {
    const int lo = std::max(x0 - word * 64, 0);
    const int hi = std::min(x1 - word * 64, 63);
    if (lo > hi) return 0;
    const std::uint64_t upTo = hi == 63 ? ~std::uint64_t{0} : (std::uint64_t{1} << (hi + 1)) - 1;
    return upTo & ~((std::uint64_t{1} << lo) - 1);
}

} // namespace

bool DrawBatcher::Touches(const Batch& batch, const Footprint& f) const {
    for (int w = f.X0 / 64; w <= f.X1 / 64; ++w) {
        const std::uint64_t mask = ColumnMask(w, f.X0, f.X1);
        for (int y = f.Y0; y <= f.Y1; ++y)
            if (batch.Tiles[static_cast<std::size_t>(y * RowWords_ + w)] & mask) return true;
    }
    return false;
}

void DrawBatcher::Mark(Batch& batch, const Footprint& f) {
    for (int w = f.X0 / 64; w <= f.X1 / 64; ++w) {
        const std::uint64_t mask = ColumnMask(w, f.X0, f.X1);
        for (int y = f.Y0; y <= f.Y1; ++y)
            batch.Tiles[static_cast<std::size_t>(y * RowWords_ + w)] |= mask;
    }
}

DrawBatcher::Batch& DrawBatcher::NewBatch(PrimitiveType type, const DrawState& state) {
    if (Open_ == MaxOpenBatches) Emit(1);
    if (Open_ == Batches_.size()) Batches_.emplace_back();
    Batch& b = Batches_[Open_++];
    b.Type = type;
    b.State = state;
    b.Vertices.clear();
    b.Indices.clear();
    b.Draws = 0;
    b.LastSource = nullptr;
    b.LastCount = 0;
    b.LastBase = 0;
    if (TileColumns_ > 0) b.Tiles.assign(static_cast<std::size_t>(TileRows_ * RowWords_), 0);
    return b;
}

void DrawBatcher::Append(Batch& b, std::uint32_t minVertexIndex, std::uint32_t vertexCount,
                         std::uint64_t indexCount, const std::uint32_t* indices,
                         const TVertex3D* vertices) {
    const TVertex3D* source = vertices + minVertexIndex;
    std::size_t base = b.Vertices.size();
    // The same vertices as the previous draw of this batch (another node of the same object):
    // refer to the copy already made rather than adding another.
    const bool sameAsLast =
        b.Draws > 0 && source == b.LastSource && vertexCount == b.LastCount &&
        std::memcmp(source, b.Vertices.data() + b.LastBase, sizeof(TVertex3D) * vertexCount) == 0;
    if (sameAsLast) {
        base = b.LastBase;
    } else {
        b.Vertices.insert(b.Vertices.end(), source, source + vertexCount);
        b.LastSource = source;
        b.LastCount = vertexCount;
        b.LastBase = base;
    }
    const std::uint32_t shift = std::uint32_t(base) - minVertexIndex; // wraps as intended
    const std::size_t at = b.Indices.size();
    b.Indices.resize(at + static_cast<std::size_t>(indexCount));
    for (std::uint64_t i = 0; i < indexCount; ++i)
        b.Indices[at + static_cast<std::size_t>(i)] = indices[i] + shift;
    ++b.Draws;
}

bool DrawBatcher::Draw(PrimitiveType type, std::uint32_t minVertexIndex, std::uint32_t vertexCount,
                       std::uint32_t primitiveCount, const std::uint32_t* indices,
                       const TVertex3D* vertices) {
    if (type != PrimitiveType::TriangleList && type != PrimitiveType::LineList) return false;
    const std::uint64_t count = PrimitiveIndexCount(type, primitiveCount);
    if (count == 0) return true;
    if (!indices || !vertices) return false;
    const std::uint64_t end = std::uint64_t(minVertexIndex) + vertexCount;
    for (std::uint64_t i = 0; i < count; ++i)
        if (indices[i] < minVertexIndex || indices[i] >= end) return false;

    // The effective state is worked out again only after a state call or for another type.
    if (!EffectiveValid_ || type != EffectiveType_) {
        Effective_ = EffectiveState(State_, type);
        EffectiveType_ = type;
        EffectiveValid_ = true;
    }
    const DrawState& state = Effective_;
    auto joins = [&](const Batch& b) {
        return b.Type == type && b.Vertices.size() + vertexCount <= MaxVertices_ &&
               b.State == state;
    };

    if (TileColumns_ == 0) {
        // Call order: the newest batch or a new one.
        if (Open_ > 0 && !joins(Batches_[Open_ - 1])) Flush();
        Batch& b = Open_ > 0 ? Batches_[Open_ - 1] : NewBatch(type, state);
        Append(b, minVertexIndex, vertexCount, count, indices, vertices);
        return true;
    }

    // The newest batch of this state that no later batch stands in the way of.
    const Footprint f = FootprintOf(vertices + minVertexIndex, vertexCount);
    Batch* target = nullptr;
    for (std::size_t k = Open_; k-- > 0;) {
        Batch& b = Batches_[k];
        if (joins(b)) {
            target = &b;
            break;
        }
        if (Touches(b, f)) break;
    }
    Batch& b = target ? *target : NewBatch(type, state);
    Append(b, minVertexIndex, vertexCount, count, indices, vertices);
    Mark(b, f);
    return true;
}

void DrawBatcher::Emit(std::size_t count) {
    count = std::min(count, Open_);
    std::size_t sent = 0;
    // The batches handed on (and one the sink failed on) are dropped even if the sink throws, so
    // that none is drawn twice; the later ones keep waiting, in order.
    struct Drop {
        DrawBatcher& B;
        std::size_t& Sent;
        ~Drop() {
            if (Sent == 0) return;
            std::rotate(B.Batches_.begin(), B.Batches_.begin() + std::ptrdiff_t(Sent),
                        B.Batches_.begin() + std::ptrdiff_t(B.Open_));
            B.Open_ -= Sent;
        }
    } drop{*this, sent};
    while (sent < count) {
        const Batch& b = Batches_[sent];
        DrawBatch batch;
        batch.Type = b.Type;
        batch.State = b.State;
        batch.Vertices = b.Vertices;
        batch.Indices = b.Indices;
        batch.Draws = b.Draws;
        ++BatchCount_;
        ++sent;
        Sink_.DrawBatch(batch);
    }
}

void DrawBatcher::Flush() {
    Emit(Open_);
}

void DrawBatcher::ForgetTexture(const DeviceTexture* texture) {
    if (!texture) return;
    // Everything up to the newest batch drawn with it goes now, in order.
    for (std::size_t k = Open_; k-- > 0;) {
        if (Batches_[k].State.Texture == texture) {
            Emit(k + 1);
            break;
        }
    }
    if (State_.Texture == texture) {
        State_.Texture = nullptr;
        EffectiveValid_ = false;
    }
}

void DrawBatcher::Reset() {
    Open_ = 0;
    State_ = DrawState{};
    EffectiveValid_ = false;
}

} // namespace gm
