#pragma once
// Graphics declarations shared by the scene objects and every device: 32-bit ARGB colours and the
// pre-transformed vertex record handed to the device unchanged.

#include <cstddef>
#include <cstdint>

namespace gm {

// ARGB, alpha in the top byte; in memory and in files the bytes are blue, green, red, alpha.
using TColor32 = std::uint32_t;

constexpr TColor32 ColorARGB(std::uint8_t a, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return (TColor32(a) << 24) | (TColor32(r) << 16) | (TColor32(g) << 8) | TColor32(b);
}
// Opaque colour.
constexpr TColor32 ColorXRGB(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return ColorARGB(0xFF, r, g, b);
}
constexpr std::uint8_t ColorA(TColor32 c) {
    return std::uint8_t(c >> 24);
}
constexpr std::uint8_t ColorR(TColor32 c) {
    return std::uint8_t(c >> 16);
}
constexpr std::uint8_t ColorG(TColor32 c) {
    return std::uint8_t(c >> 8);
}
constexpr std::uint8_t ColorB(TColor32 c) {
    return std::uint8_t(c);
}

// One screen-space vertex: position in panel pixels (x right, y down), depth 0 (near) to 1 (far),
// reciprocal w always 1, diffuse colour, one texture coordinate pair. Its layout is the vertex
// format FVF_Vertex3D and must not change: devices take arrays of it as they are.
struct TVertex3D {
    float x, y, z;
    float rhw;
    TColor32 diffuse;
    float tu, tv;
};
static_assert(sizeof(TVertex3D) == 28, "TVertex3D is a 28-byte device record");
static_assert(offsetof(TVertex3D, rhw) == 12 && offsetof(TVertex3D, diffuse) == 16 &&
                  offsetof(TVertex3D, tu) == 20 && offsetof(TVertex3D, tv) == 24,
              "TVertex3D field offsets are fixed");

// Pre-transformed position with reciprocal w, diffuse colour, one texture coordinate pair.
constexpr std::uint32_t FVF_Vertex3D = 0x144;

constexpr TVertex3D MakeVertex(TColor32 colour, float x, float y, float z, float tu, float tv) {
    return TVertex3D{x, y, z, 1.0f, colour, tu, tv};
}

} // namespace gm
