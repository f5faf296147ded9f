#pragma once
// A device that draws nothing and logs every call with its arguments, one text line per call, for
// tests of call order and as a cheap sink for benchmarks (text can be switched off, leaving the
// per-operation counts). Any operation can be made to fail.
//
// Line formats (numbers decimal unless noted):
//   Create <w> <h> | Release | Clear <flags> <colour hex> <z> <stencil> | BeginScene | EndScene |
//   Present | SetRenderState <NAME> <v> | SetTextureStageState <stage> <NAME> <v> |
//   SetVertexShader 0x<hex> | SetTexture <stage> tex<id>|none |
//   DrawIndexedPrimitiveUP TRIANGLELIST|LINELIST <min> <count> <prims> [<indices>] |
//   CreateTexture <w> <h> tex<id>|failed | LockRect tex<id> | UnlockRect tex<id> |
//   ReleaseTexture tex<id>
// A failed call gets " failed" appended (CreateTexture shows "failed" in place of the id). A draw
// whose indices leave its vertex range fails with " out-of-range" and is counted in BadDraws().

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "render/Device.h"

namespace gm {

enum class DeviceOp : std::uint8_t {
    Create,
    Release,
    Clear,
    BeginScene,
    EndScene,
    Present,
    SetRenderState,
    SetTextureStageState,
    SetVertexShader,
    SetTexture,
    DrawIndexedPrimitiveUP,
    CreateTexture,
    LockRect,
    UnlockRect,
    ReleaseTexture,
};
inline constexpr std::size_t DeviceOpCount = std::size_t(DeviceOp::ReleaseTexture) + 1;

const char* RenderStateName(RenderState state);
const char* TextureStageStateName(TextureStageState state);

class RecordingDevice : public Device {
public:
    RecordingDevice();
    ~RecordingDevice() override;

    const std::vector<std::string>& Lines() const;
    // Forgets the lines and counts (not the failures asked for).
    void ClearLog();
    std::size_t Count(DeviceOp op) const;
    std::size_t BadDraws() const;
    void SetKeepText(bool keep);
    void FailOn(DeviceOp op, bool fail = true);
    // The texture number a recorded line shows for a texture made here, 0 for any other.
    int TextureId(const DeviceTexture* texture) const;

    void Create(int width, int height) override;
    void Release() override;
    int Width() const override { return Width_; }
    int Height() const override { return Height_; }
    bool Clear(std::uint32_t flags, TColor32 colour, float z, std::uint32_t stencil) override;
    bool BeginScene() override;
    bool EndScene() override;
    bool Present() override;
    bool SetRenderState(RenderState state, std::uint32_t value) override;
    bool SetTextureStageState(std::uint32_t stage, TextureStageState state,
                              std::uint32_t value) override;
    bool SetVertexShader(std::uint32_t vertexFormat) override;
    bool SetTexture(std::uint32_t stage, DeviceTexture* texture) override;
    bool DrawIndexedPrimitiveUP(PrimitiveType type, std::uint32_t minVertexIndex,
                                std::uint32_t vertexCount, std::uint32_t primitiveCount,
                                const std::uint32_t* indices, const TVertex3D* vertices) override;
    std::unique_ptr<DeviceTexture> CreateTexture(int width, int height, TexFormat format) override;

    // Shared with the textures, which log their own calls and may outlive the device.
    struct Log {
        std::vector<std::string> Lines;
        std::array<std::size_t, DeviceOpCount> Counts{};
        std::array<bool, DeviceOpCount> Fail{};
        std::size_t BadDraws = 0;
        bool KeepText = true;
        int NextTextureId = 1;
        // Counts the call and keeps its line; returns whether the call succeeds.
        bool Record(DeviceOp op, const std::string& text);
    };

private:
    std::shared_ptr<Log> Log_;
    int Width_ = 0;
    int Height_ = 0;
};

} // namespace gm
