#pragma once
// The image decoder over QImage (Qt Gui only; no display needed). Reads whatever image formats
// the Qt installation can read, PNG, JPEG and BMP among them; the format is taken from the file's
// content, not its extension.

#include <cstdint>
#include <memory>
#include <string>

#include "render/ImageDecoder.h"

namespace gm {

class QImageDecoder : public ImageDecoder {
public:
    // Images above this many pixels are refused rather than decoded.
    static constexpr std::int64_t MaxPixels = std::int64_t(16384) * 16384;

    QImageDecoder();
    ~QImageDecoder() override;

    bool ReadStart(const std::string& fileName, int& width, int& height) override;
    bool Read(void* dest, int pitch, std::uint32_t redMask, std::uint32_t greenMask,
              std::uint32_t blueMask, std::uint32_t alphaMask, int bytesPerPixel) override;

private:
    struct Open;
    std::unique_ptr<Open> Open_;
};

} // namespace gm
