#pragma once
// Textures made from image files: shared, reference-counted device textures, one per file name,
// cached in a texture list. A file that cannot be loaded still gets an entry: it draws without a
// texture, remembers its message, and is reported once through TakeFailures.

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/Codec.h"
#include "foundation/PathResolver.h"
#include "foundation/QX_List.h"
#include "render/Device.h"
#include "render/ImageDecoder.h"

namespace gm {

// How a requested texture name becomes the path given to the decoder. ToAnsi gives 8-bit text in
// the system code page (also used in messages); Resolve, when set, turns (BaseFolder, 8-bit name)
// into a real path.
struct TexFileNaming {
    std::string BaseFolder;
    std::function<std::string(std::u16string_view)> ToAnsi;
    std::function<std::string(std::string_view, std::string_view)> Resolve;
};

// The editor's naming: the system code page, names relative to baseFolder (the start folder).
inline TexFileNaming SystemTexFileNaming(std::string baseFolder) {
    return TexFileNaming{std::move(baseFolder), WideToAnsiQX, ResolvePathQX};
}

class TgmTex {
public:
    TgmTex* Prev = nullptr;
    TgmTex* Next = nullptr;
    int RefCount = 0;                      // primitive nodes using the texture
    std::u16string TexFileName;            // exactly as requested; the cache key
    std::unique_ptr<DeviceTexture> DevTex; // none while not loaded or after a failed load
    std::string Error;                     // why the last load failed; empty otherwise

    bool Loaded() const noexcept { return DevTex != nullptr; }
};

// Sets every alpha byte of a 32-bit A8R8G8B8 image to 255 when all of them are 0 (a decoder gives
// alpha 0 for images without alpha). Returns whether it changed the image.
bool TexAlphaFixup(void* bits, int width, int height, int pitch);

class TexList {
public:
    TexList(ImageDecoder& decoder, TexFileNaming naming);
    ~TexList();
    TexList(const TexList&) = delete;
    TexList& operator=(const TexList&) = delete;

    // Textures are made on this device. Changing it drops every device texture of the old one and
    // loads the entries in use on the new one (entries whose load failed stay failed). With no
    // device, entries wait unloaded and draw without a texture.
    void SetDevice(Device* device);
    // Names are looked up in this folder from now on; every entry is loaded again (failed ones
    // included), and new failures are queued for TakeFailures.
    void SetBaseFolder(std::string baseFolder);
    Device* GetDevice() const noexcept { return Device_; }

    // The entry of that exact (case-sensitive) file name with one more reference, or a new entry
    // loaded from the file with RefCount 1. Never fails: a failed load leaves an entry without a
    // device texture whose message is queued for TakeFailures.
    TgmTex* TexAcquire(std::u16string_view fileName);
    // One reference less; at 0 the entry is removed and its device texture released. Null: nothing.
    void TexRelease(TgmTex* tex) noexcept;

    // Messages of the loads that failed since the last call, oldest first.
    std::vector<std::string> TakeFailures();

    const ListQX<TgmTex>& Entries() const noexcept { return List_; }

private:
    void LoadFile(TgmTex& tex, std::u16string_view fileName);
    std::string LoadPixels(TgmTex& tex);

    ImageDecoder& Decoder_;
    TexFileNaming Naming_;
    Device* Device_ = nullptr;
    ListQX<TgmTex> List_;
    std::vector<std::string> Failures_;
};

} // namespace gm
