#include "render/NullDevice.h"

#include "foundation/QX_Error.h"

namespace gm {

MemoryTexture::MemoryTexture(int width, int height)
    : Width_(width), Height_(height),
      Bytes_(std::size_t(width) * std::size_t(height) * 4u, std::uint8_t(0)) {}

bool MemoryTexture::LockRect(LockedRect& out) {
    // Direct3D refuses a second lock of the same level; so do we, to catch unbalanced callers.
    if (Locked_) return false;
    Locked_ = true;
    out.Bits = Bytes_.data();
    out.Pitch = Pitch();
    return true;
}

bool MemoryTexture::UnlockRect() {
    if (!Locked_) return false;
    Locked_ = false;
    return true;
}

std::uint32_t MemoryTexture::Pixel(int x, int y) const {
    const std::uint8_t* p =
        Bytes_.data() + std::size_t(y) * std::size_t(Pitch()) + std::size_t(x) * 4u;
    return ColorARGB(p[3], p[2], p[1], p[0]);
}

std::unique_ptr<MemoryTexture> MakeMemoryTexture(int width, int height) {
    if (width <= 0 || height <= 0 || width > MemoryTexture::MaxSide ||
        height > MemoryTexture::MaxSide)
        return nullptr;
    return std::make_unique<MemoryTexture>(width, height);
}

void NullDevice::Create(int width, int height) {
    if (width <= 0 || height <= 0) RaiseQX("CreateDevice");
    Width_ = width;
    Height_ = height;
    Created_ = true;
}

std::unique_ptr<DeviceTexture> NullDevice::CreateTexture(int width, int height, TexFormat format) {
    if (!Created_ || format != TexFormat::A8R8G8B8) return nullptr;
    return MakeMemoryTexture(width, height);
}

} // namespace gm
