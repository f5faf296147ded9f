#pragma once
// Merges consecutive indexed draws that would look the same to the rasteriser into one batch, so
// that a frame of tens of thousands of small scene objects costs a handful of real draw calls.
// It tracks the device state the draws depend on; a draw whose effective state differs from the
// pending batch's flushes that batch first, so batches reach the sink in call order. Merging is
// exact: a rasteriser processes the primitives of one call in order, as it does separate calls.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "render/Device.h"
#include "render/GR_DirectX3D8.h"

namespace gm {

// The state a draw depends on. Defaults are those of a freshly created device with a depth buffer.
struct DrawState {
    // Values the device interface has no name for.
    static constexpr std::uint32_t ArgCurrent = 1;   // stage 0: the vertex colour
    static constexpr std::uint32_t OpSelectArg2 = 3; // stage operation: the second argument
    static constexpr std::uint32_t OpAdd = 7;        // stage operation: sum, saturated

    DeviceTexture* Texture = nullptr; // stage 0
    std::uint32_t ZEnable = 1;
    std::uint32_t ZWriteEnable = 1;
    std::uint32_t ZFunc = CmpLessEqual;
    std::uint32_t AlphaBlendEnable = 0;
    std::uint32_t SrcBlend = BlendOne;
    std::uint32_t DestBlend = BlendZero;
    std::uint32_t CullMode = CullCCW;
    // Texture stage 0.
    std::uint32_t ColorOp = TexOpModulate;
    std::uint32_t ColorArg1 = TexArgTexture;
    std::uint32_t ColorArg2 = ArgCurrent;
    std::uint32_t AlphaOp = TexOpSelectArg1;
    std::uint32_t AlphaArg1 = TexArgTexture;
    std::uint32_t AlphaArg2 = ArgCurrent;
    std::uint32_t MagFilter = TexFilterPoint;
    std::uint32_t MinFilter = TexFilterPoint;

    bool operator==(const DrawState&) const = default;

    // Whether draws take anything from the texture (bound, stage enabled).
    bool Textured() const noexcept { return Texture != nullptr && ColorOp != TexOpDisable; }
};

// The state as it matters for a draw of that type: fields that cannot change the picture are set
// to fixed values, so that draws differing only in them share a batch. Untextured draws show the
// vertex colour (Texture null, stage fields zero).
DrawState EffectiveState(const DrawState& state, PrimitiveType type);

// One merged draw: indices refer to Vertices (0-based); both spans live until the sink returns.
struct DrawBatch {
    PrimitiveType Type = PrimitiveType::TriangleList;
    DrawState State; // effective state (see EffectiveState)
    std::span<const TVertex3D> Vertices;
    std::span<const std::uint32_t> Indices;
    std::uint32_t Draws = 0; // device draws merged into it
};

class BatchSink {
public:
    virtual ~BatchSink() = default;
    virtual void DrawBatch(const DrawBatch& batch) = 0;
};

class DrawBatcher {
public:
    // A batch is flushed before it would grow past maxVertices (a single larger draw still goes
    // through, alone).
    static constexpr std::size_t DefaultMaxVertices = std::size_t(1) << 18;

    explicit DrawBatcher(BatchSink& sink, std::size_t maxVertices = DefaultMaxVertices);
    DrawBatcher(const DrawBatcher&) = delete;
    DrawBatcher& operator=(const DrawBatcher&) = delete;

    // State changes only take effect on later draws; nothing is flushed here. States that do not
    // affect drawing are accepted and ignored. Only stage 0 exists: other stages return false.
    bool SetRenderState(RenderState state, std::uint32_t value);
    bool SetTextureStageState(std::uint32_t stage, TextureStageState state, std::uint32_t value);
    bool SetTexture(std::uint32_t stage, DeviceTexture* texture);

    // Copies the vertices minVertexIndex .. minVertexIndex + vertexCount - 1 and the rebased
    // indices. False, with nothing drawn, for an unknown type, a null array or an index outside
    // the vertex range.
    bool Draw(PrimitiveType type, std::uint32_t minVertexIndex, std::uint32_t vertexCount,
              std::uint32_t primitiveCount, const std::uint32_t* indices,
              const TVertex3D* vertices);

    // Hands the pending batch, if any, to the sink.
    void Flush();
    // The texture is going away: a pending batch using it is flushed, and it is no longer bound.
    void ForgetTexture(const DeviceTexture* texture);
    // Back to the default state; a pending batch is dropped.
    void Reset();

    const DrawState& State() const noexcept { return State_; }
    bool Pending() const noexcept { return !Indices_.empty(); }
    // Batches handed to the sink since construction.
    std::uint64_t BatchCount() const noexcept { return BatchCount_; }

private:
    BatchSink& Sink_;
    std::size_t MaxVertices_;
    DrawState State_;

    // The pending batch.
    PrimitiveType Type_ = PrimitiveType::TriangleList;
    DrawState BatchState_;
    std::vector<TVertex3D> Vertices_;
    std::vector<std::uint32_t> Indices_;
    std::uint32_t Draws_ = 0;
    // Where the last draw's vertices went, so that the nodes of one object (which all pass the
    // object's whole vertex array) share one copy while the vertices are unchanged.
    const TVertex3D* LastSource_ = nullptr;
    std::uint32_t LastCount_ = 0;
    std::size_t LastBase_ = 0;

    std::uint64_t BatchCount_ = 0;

    // EffectiveState(State_, EffectiveType_), while valid; and whether it is the pending batch's.
    bool EffectiveValid_ = false;
    PrimitiveType EffectiveType_ = PrimitiveType::TriangleList;
    DrawState Effective_;
    bool EffectiveMatchesBatch_ = false;
};

} // namespace gm
