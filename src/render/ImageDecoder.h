#pragma once
// Image decoding in two calls: ReadStart opens a file and gives its size, Read writes its pixels.
// One image is open at a time; Read ends its use. Implementations: the QImage decoder of the
// platform layer; tests use decoders over images in memory.

#include <cstdint>
#include <string>

namespace gm {

class ImageDecoder {
public:
    virtual ~ImageDecoder() = default;
    ImageDecoder() = default;
    ImageDecoder(const ImageDecoder&) = delete;
    ImageDecoder& operator=(const ImageDecoder&) = delete;

    // Opens fileName (a path in the system code page) and gives the image's size in pixels. False
    // when the file cannot be opened or decoded.
    virtual bool ReadStart(const std::string& fileName, int& width, int& height) = 0;

    // Writes the image opened by the last successful ReadStart into dest: rows from the top, each
    // row pitch bytes after the previous one, each pixel bytesPerPixel bytes holding a
    // little-endian value whose channels sit in the bits of the four 8-bit masks. An image without
    // alpha gives alpha 0. False when nothing is open, the layout is not one of 8-bit channels,
    // or decoding fails.
    virtual bool Read(void* dest, int pitch, std::uint32_t redMask, std::uint32_t greenMask,
                      std::uint32_t blueMask, std::uint32_t alphaMask, int bytesPerPixel) = 0;
};

} // namespace gm
