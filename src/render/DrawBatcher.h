#pragma once
// Merges indexed draws that would look the same to the rasteriser into one batch, so that a frame
// of tens of thousands of small scene objects costs a handful of real draw calls. It tracks the
// device state the draws depend on. Draws of one state join one batch; a draw of another state
// starts another, after the pending ones, unless it can join an earlier batch of its state without
// passing a draw whose pixels it might share (see SetAreaSize). Merging is exact: a rasteriser
// processes the primitives of one call in order, as it does separate calls, and draws that touch
// no common pixel give the same picture in either order.

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
    // Side of the squares, in logical pixels, by which the batcher tells where draws may land.
    static constexpr int TileSize = 16;
    // How far, in logical pixels, a draw may reach beyond the box of its vertices: rasterising
    // rules and wide lines never reach further.
    static constexpr float Reach = 4;
    // Batches waiting at a time; the oldest goes to the sink when another is needed.
    static constexpr std::size_t MaxOpenBatches = 32;

    explicit DrawBatcher(BatchSink& sink, std::size_t maxVertices = DefaultMaxVertices);
    DrawBatcher(const DrawBatcher&) = delete;
    DrawBatcher& operator=(const DrawBatcher&) = delete;

    // The logical size of the area drawn into. While it is known (both sides positive), a draw may
    // join an earlier batch of its state, ahead of later batches of other states, when it cannot
    // touch a pixel any of those may touch: draws that share a pixel keep their order, so the
    // picture is exactly that of the draws one by one. Unknown (the default), batches follow
    // the call order strictly. Changing it flushes.
    void SetAreaSize(int width, int height);

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

    // Hands the pending batches, if any, to the sink, oldest first.
    void Flush();
    // The texture is going away: pending batches using it are flushed, and it is no longer bound.
    void ForgetTexture(const DeviceTexture* texture);
    // Back to the default state; pending batches are dropped.
    void Reset();

    const DrawState& State() const noexcept { return State_; }
    bool Pending() const noexcept { return Open_ > 0; }
    // Batches handed to the sink since construction.
    std::uint64_t BatchCount() const noexcept { return BatchCount_; }

private:
    // Tiles a draw may touch: columns X0..X1, rows Y0..Y1.
    struct Footprint {
        int X0 = 0, Y0 = 0, X1 = 0, Y1 = 0;
    };
    struct Batch {
        PrimitiveType Type = PrimitiveType::TriangleList;
        DrawState State; // effective state
        std::vector<TVertex3D> Vertices;
        std::vector<std::uint32_t> Indices;
        std::uint32_t Draws = 0;
        // Where the last draw's vertices went, so that the nodes of one object (which all pass
        // the object's whole vertex array) share one copy while the vertices are unchanged.
        const TVertex3D* LastSource = nullptr;
        std::uint32_t LastCount = 0;
        std::size_t LastBase = 0;
        std::vector<std::uint64_t> Tiles; // one bit per tile its draws may touch
    };

    Footprint FootprintOf(const TVertex3D* vertices, std::uint32_t count) const;
    bool Touches(const Batch& batch, const Footprint& f) const;
    void Mark(Batch& batch, const Footprint& f);
    Batch& NewBatch(PrimitiveType type, const DrawState& state);
    void Append(Batch& batch, std::uint32_t minVertexIndex, std::uint32_t vertexCount,
                std::uint64_t indexCount, const std::uint32_t* indices, const TVertex3D* vertices);
    // Hands batches 0 .. count - 1 to the sink and drops them (also when the sink throws).
    void Emit(std::size_t count);

    BatchSink& Sink_;
    std::size_t MaxVertices_;
    DrawState State_;

    // Tiles of the area; none while its size is unknown.
    int TileColumns_ = 0;
    int TileRows_ = 0;
    int RowWords_ = 0;

    // Batches_[0 .. Open_) wait in draw order; the rest keep their storage for later batches.
    std::vector<Batch> Batches_;
    std::size_t Open_ = 0;

    std::uint64_t BatchCount_ = 0;

    // EffectiveState(State_, EffectiveType_), while valid.
    bool EffectiveValid_ = false;
    PrimitiveType EffectiveType_ = PrimitiveType::TriangleList;
    DrawState Effective_;
};

} // namespace gm
