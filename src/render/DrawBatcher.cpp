#include "render/DrawBatcher.h"

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
        EffectiveMatchesBatch_ = Pending() && type == Type_ && Effective_ == BatchState_;
    }
    const DrawState& state = Effective_;
    if (Pending() && (!EffectiveMatchesBatch_ || Vertices_.size() + vertexCount > MaxVertices_))
        Flush();
    if (!Pending()) {
        Type_ = type;
        BatchState_ = state;
        EffectiveMatchesBatch_ = true;
    }

    const TVertex3D* source = vertices + minVertexIndex;
    std::size_t base = Vertices_.size();
    // The same vertices as the previous draw of this batch (another node of the same object):
    // refer to the copy already made rather than adding another.
    const bool sameAsLast =
        Pending() && source == LastSource_ && vertexCount == LastCount_ &&
        std::memcmp(source, Vertices_.data() + LastBase_, sizeof(TVertex3D) * vertexCount) == 0;
    if (sameAsLast) {
        base = LastBase_;
    } else {
        Vertices_.insert(Vertices_.end(), source, source + vertexCount);
        LastSource_ = source;
        LastCount_ = vertexCount;
        LastBase_ = base;
    }
    const std::uint32_t shift = std::uint32_t(base) - minVertexIndex; // wraps as intended
    for (std::uint64_t i = 0; i < count; ++i)
        Indices_.push_back(indices[i] + shift);
    ++Draws_;
    return true;
}

void DrawBatcher::Flush() {
    if (!Pending()) return;
    DrawBatch batch;
    batch.Type = Type_;
    batch.State = BatchState_;
    batch.Vertices = Vertices_;
    batch.Indices = Indices_;
    batch.Draws = Draws_;
    ++BatchCount_;
    // Cleared even if the sink throws, so a failed batch is not drawn twice.
    struct Clear {
        DrawBatcher& B;
        ~Clear() {
            B.Vertices_.clear();
            B.Indices_.clear();
            B.Draws_ = 0;
            B.LastSource_ = nullptr;
            B.LastCount_ = 0;
            B.LastBase_ = 0;
        }
    } clear{*this};
    Sink_.DrawBatch(batch);
}

void DrawBatcher::ForgetTexture(const DeviceTexture* texture) {
    if (!texture) return;
    if (Pending() && BatchState_.Texture == texture) Flush();
    if (State_.Texture == texture) {
        State_.Texture = nullptr;
        EffectiveValid_ = false;
    }
}

void DrawBatcher::Reset() {
    Vertices_.clear();
    Indices_.clear();
    Draws_ = 0;
    LastSource_ = nullptr;
    LastCount_ = 0;
    LastBase_ = 0;
    State_ = DrawState{};
    EffectiveValid_ = false;
}

} // namespace gm
