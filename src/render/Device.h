#pragma once
// The graphics device as the scene objects, the textures and the frame loop see it. Every
// operation has Direct3D's meaning: vertices arrive pre-transformed in panel pixels with depth 0..1
// and an ARGB colour, the device does no transformation or lighting, states are set one by one and
// stay until changed. Enum values are Direct3D's numbers so that recorded call logs read the same
// on every back end. Calls report failure by returning false; only Create raises.

#include <cstdint>
#include <memory>

#include "render/GR_DirectX3D8.h"

namespace gm {

enum class PrimitiveType : std::uint32_t { LineList = 2, TriangleList = 4 };

enum class RenderState : std::uint32_t {
    ZEnable = 7,
    ZWriteEnable = 14,
    SrcBlend = 19,
    DestBlend = 20,
    CullMode = 22,
    ZFunc = 23,
    DitherEnable = 26,
    AlphaBlendEnable = 27,
    Clipping = 136,
    ColorVertex = 141,
};

enum class TextureStageState : std::uint32_t {
    ColorOp = 1,
    ColorArg1 = 2,
    ColorArg2 = 3,
    AlphaOp = 4,
    AlphaArg1 = 5,
    AlphaArg2 = 6,
    MagFilter = 16,
    MinFilter = 17,
    MipFilter = 18,
};

// Values of the states above (plain enums so that they pass as the 32-bit state value).
enum BlendValue : std::uint32_t {
    BlendZero = 1,
    BlendOne = 2,
    BlendSrcAlpha = 5,
    BlendInvSrcAlpha = 6
};
enum CullValue : std::uint32_t { CullNone = 1, CullCW = 2, CullCCW = 3 };
enum CmpValue : std::uint32_t { CmpLess = 2, CmpEqual = 3, CmpLessEqual = 4, CmpAlways = 8 };
enum TexOpValue : std::uint32_t { TexOpDisable = 1, TexOpSelectArg1 = 2, TexOpModulate = 4 };
enum TexArgValue : std::uint32_t { TexArgDiffuse = 0, TexArgTexture = 2 };
enum TexFilterValue : std::uint32_t { TexFilterNone = 0, TexFilterPoint = 1, TexFilterLinear = 2 };

enum ClearFlag : std::uint32_t { ClearTarget = 1, ClearZBuffer = 2, ClearStencil = 4 };

// 32 bits per pixel: alpha in the top byte, then red, green, blue (bytes in memory B, G, R, A).
enum class TexFormat : std::uint32_t { A8R8G8B8 = 21 };

struct LockedRect {
    void* Bits = nullptr; // first byte of the top row
    int Pitch = 0;        // bytes from one row to the next
};

// A device texture: one mip level, managed by the device (it survives whatever the device does
// with its own memory). Destroying it releases it; a device must cope with a bound texture being
// destroyed (it is then no longer bound).
class DeviceTexture {
public:
    virtual ~DeviceTexture() = default;
    DeviceTexture() = default;
    DeviceTexture(const DeviceTexture&) = delete;
    DeviceTexture& operator=(const DeviceTexture&) = delete;

    virtual int Width() const = 0;
    virtual int Height() const = 0;
    // Level 0, whole surface. The pixels may be written until UnlockRect.
    virtual bool LockRect(LockedRect& out) = 0;
    virtual bool UnlockRect() = 0;
};

class Device {
public:
    virtual ~Device() = default;
    Device() = default;
    Device(const Device&) = delete;
    Device& operator=(const Device&) = delete;

    // Makes the device ready to draw into a target of width x height pixels; raises ErrorQX named
    // after the step that failed. Release frees everything Create made; calls after it fail.
    virtual void Create(int width, int height) = 0;
    virtual void Release() = 0;
    // Size of the target given to Create.
    virtual int Width() const = 0;
    virtual int Height() const = 0;

    // flags: ClearFlag bits; no rectangles (the whole target).
    virtual bool Clear(std::uint32_t flags, TColor32 colour, float z, std::uint32_t stencil) = 0;
    virtual bool BeginScene() = 0;
    virtual bool EndScene() = 0;
    // Shows the frame in the panel (whole target, no dirty region).
    virtual bool Present() = 0;

    virtual bool SetRenderState(RenderState state, std::uint32_t value) = 0;
    virtual bool SetTextureStageState(std::uint32_t stage, TextureStageState state,
                                      std::uint32_t value) = 0;
    // The format of the vertices of the next draws; the scene passes FVF_Vertex3D.
    virtual bool SetVertexShader(std::uint32_t vertexFormat) = 0;
    // texture may be null: nothing bound at that stage.
    virtual bool SetTexture(std::uint32_t stage, DeviceTexture* texture) = 0;
    // Draws primitiveCount primitives whose 32-bit indices come from memory, over the vertices
    // minVertexIndex .. minVertexIndex + vertexCount - 1 of an array in memory (28-byte stride).
    // Every index lies in that range; neither array is kept after the call.
    virtual bool DrawIndexedPrimitiveUP(PrimitiveType type, std::uint32_t minVertexIndex,
                                        std::uint32_t vertexCount, std::uint32_t primitiveCount,
                                        const std::uint32_t* indices,
                                        const TVertex3D* vertices) = 0;

    // One level, managed memory. Null on failure (including a size the device cannot hold).
    virtual std::unique_ptr<DeviceTexture> CreateTexture(int width, int height,
                                                         TexFormat format) = 0;

    // Whether the scene must repeat a state call that sets the value the scene itself set last
    // in the same layer. Devices that only track state (a repeat changes nothing they draw) say
    // no, which spares tens of thousands of calls a frame; devices that log calls say yes.
    virtual bool NeedsRepeatedStates() const { return true; }
};

// Indices a draw of primitiveCount primitives reads.
constexpr std::uint64_t PrimitiveIndexCount(PrimitiveType type, std::uint32_t primitiveCount) {
    return std::uint64_t(primitiveCount) * (type == PrimitiveType::TriangleList ? 3u : 2u);
}

// The states every frame starts from: colour from the vertices, blending by source alpha,
// counter-clockwise faces culled, depth test less-or-equal with depth writes, linear filtering.
inline void SetFrameStates(Device& device) {
    device.SetRenderState(RenderState::ColorVertex, 1);
    device.SetRenderState(RenderState::AlphaBlendEnable, 1);
    device.SetRenderState(RenderState::SrcBlend, BlendSrcAlpha);
    device.SetRenderState(RenderState::DestBlend, BlendInvSrcAlpha);
    device.SetRenderState(RenderState::CullMode, CullCCW);
    device.SetRenderState(RenderState::Clipping, 0);
    device.SetRenderState(RenderState::DitherEnable, 1);
    device.SetRenderState(RenderState::ZEnable, 1);
    device.SetRenderState(RenderState::ZWriteEnable, 1);
    device.SetRenderState(RenderState::ZFunc, CmpLessEqual);
    device.SetTextureStageState(0, TextureStageState::MagFilter, TexFilterLinear);
    device.SetTextureStageState(0, TextureStageState::MinFilter, TexFilterLinear);
    device.SetTextureStageState(0, TextureStageState::MipFilter, TexFilterLinear);
}

} // namespace gm
