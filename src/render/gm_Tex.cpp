#include "render/gm_Tex.h"

#include <cassert>
#include <cstdint>
#include <utility>

namespace gm {

bool TexAlphaFixup(void* bits, int width, int height, int pitch) {
    auto* base = static_cast<std::uint8_t*>(bits);
    auto row = [&](int y) { return base + std::ptrdiff_t(y) * pitch; };
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* p = row(y);
        for (int x = 0; x < width; ++x)
            if (p[x * 4 + 3] != 0) return false;
    }
    for (int y = 0; y < height; ++y) {
        std::uint8_t* p = row(y);
        for (int x = 0; x < width; ++x)
            p[x * 4 + 3] = 255;
    }
    return width > 0 && height > 0;
}

TexList::TexList(ImageDecoder& decoder, TexFileNaming naming)
    : Decoder_(decoder), Naming_(std::move(naming)) {
    assert(Naming_.ToAnsi && "a texture list needs a code page conversion");
}

TexList::~TexList() = default;

void TexList::SetDevice(Device* device) {
    if (device == Device_) return;
    for (TgmTex* tex : List_)
        tex->DevTex.reset();
    Device_ = device;
    if (!Device_) return;
    for (TgmTex* tex : List_) {
        if (!tex->Error.empty()) continue;
        const int refs = tex->RefCount;
        LoadFile(*tex, std::u16string(tex->TexFileName));
        tex->RefCount = refs;
    }
}

void TexList::SetBaseFolder(std::string baseFolder) {
    Naming_.BaseFolder = std::move(baseFolder);
    for (TgmTex* tex : List_) {
        const int refs = tex->RefCount;
        LoadFile(*tex, std::u16string(tex->TexFileName));
        tex->RefCount = refs;
    }
}

TgmTex* TexList::TexAcquire(std::u16string_view fileName) {
    for (TgmTex* tex : List_) {
        if (tex->TexFileName == fileName) {
            ++tex->RefCount;
            return tex;
        }
    }
    TgmTex* tex = List_.Append(std::make_unique<TgmTex>());
    LoadFile(*tex, fileName);
    tex->RefCount = 1;
    return tex;
}

void TexList::TexRelease(TgmTex* tex) noexcept {
    if (!tex) return;
    if (--tex->RefCount <= 0) List_.Erase(tex);
}

std::vector<std::string> TexList::TakeFailures() {
    return std::exchange(Failures_, {});
}

void TexList::LoadFile(TgmTex& tex, std::u16string_view fileName) {
    tex.DevTex.reset();
    tex.RefCount = 0;
    tex.TexFileName = fileName;
    tex.Error.clear();
    // Without a device the entry waits; SetDevice loads it.
    if (!Device_) return;
    tex.Error = LoadPixels(tex);
    if (!tex.Error.empty()) {
        tex.DevTex.reset();
        Failures_.push_back(tex.Error);
    }
}

// Returns the message of the step that failed, empty on success.
std::string TexList::LoadPixels(TgmTex& tex) {
    const std::string name = Naming_.ToAnsi(tex.TexFileName);
    const std::string path = Naming_.Resolve ? Naming_.Resolve(Naming_.BaseFolder, name) : name;
    int width = 0;
    int height = 0;
    if (!Decoder_.ReadStart(path, width, height) || width <= 0 || height <= 0)
        return "TgmTex.LoadFile. Error load file:" + NativeSeparatorsQX(name);

    tex.DevTex = Device_->CreateTexture(width, height, TexFormat::A8R8G8B8);
    if (!tex.DevTex) return "CreateTexture";

    LockedRect rect;
    if (!tex.DevTex->LockRect(rect)) return "Tex.Lock";
    // A pitch shorter than a row would let the decoder write past the surface.
    if (!rect.Bits || rect.Pitch < width * 4) {
        tex.DevTex->UnlockRect();
        return "Tex.Lock";
    }
    if (!Decoder_.Read(rect.Bits, rect.Pitch, 0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u,
                       4)) {
        tex.DevTex->UnlockRect();
        return "TGraphBuf.LoadRGBA. Error load file:" + NativeSeparatorsQX(name);
    }
    TexAlphaFixup(rect.Bits, width, height, rect.Pitch);
    tex.DevTex->UnlockRect();
    return {};
}

} // namespace gm
