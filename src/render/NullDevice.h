#pragma once
// A device that draws nothing: for the command-line tool, the tests and anything that needs the
// scene without a display. Its textures keep their pixels in ordinary memory.

#include <cstdint>
#include <memory>
#include <vector>

#include "render/Device.h"

namespace gm {

// A texture whose level 0 lives in memory, rows packed (pitch = 4 x width).
class MemoryTexture : public DeviceTexture {
public:
    // Largest side a memory texture accepts, as a typical device would.
    static constexpr int MaxSide = 16384;

    MemoryTexture(int width, int height);
    int Width() const override { return Width_; }
    int Height() const override { return Height_; }
    bool LockRect(LockedRect& out) override;
    bool UnlockRect() override;

    bool Locked() const noexcept { return Locked_; }
    int Pitch() const noexcept { return Width_ * 4; }
    // Pixel (x, y) as an ARGB value.
    std::uint32_t Pixel(int x, int y) const;
    const std::vector<std::uint8_t>& Bytes() const noexcept { return Bytes_; }

private:
    int Width_;
    int Height_;
    bool Locked_ = false;
    std::vector<std::uint8_t> Bytes_;
};

// Null when the size is not one a device would accept (not positive, or above MaxSide).
std::unique_ptr<MemoryTexture> MakeMemoryTexture(int width, int height);

class NullDevice : public Device {
public:
    void Create(int width, int height) override;
    void Release() override { Created_ = false; }
    int Width() const override { return Width_; }
    int Height() const override { return Height_; }

    bool Clear(std::uint32_t, TColor32, float, std::uint32_t) override { return Created_; }
    bool BeginScene() override { return Created_; }
    bool EndScene() override { return Created_; }
    bool Present() override { return Created_; }
    bool SetRenderState(RenderState, std::uint32_t) override { return Created_; }
    bool SetTextureStageState(std::uint32_t, TextureStageState, std::uint32_t) override {
        return Created_;
    }
    bool SetVertexShader(std::uint32_t) override { return Created_; }
    bool SetTexture(std::uint32_t, DeviceTexture*) override { return Created_; }
    bool DrawIndexedPrimitiveUP(PrimitiveType, std::uint32_t, std::uint32_t, std::uint32_t,
                                const std::uint32_t*, const TVertex3D*) override {
        return Created_;
    }
    std::unique_ptr<DeviceTexture> CreateTexture(int width, int height, TexFormat format) override;

private:
    bool Created_ = false;
    int Width_ = 0;
    int Height_ = 0;
};

} // namespace gm
