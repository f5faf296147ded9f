#include <cstring>

#include <gtest/gtest.h>

#include "render/GR_DirectX3D8.h"

namespace gm {
namespace {

TEST(Colour, ComposesChannelsIntoArgb) {
    struct Case {
        TColor32 got, want;
    };
    const Case cases[] = {
        {ColorARGB(0x80, 0xFF, 0x00, 0x00), 0x80FF0000u}, // the half-transparent selection red
        {ColorARGB(0x12, 0x34, 0x56, 0x78), 0x12345678u},
        {ColorARGB(0, 0, 0, 0), 0u},
        {ColorXRGB(0x01, 0x02, 0x03), 0xFF010203u},
        {ColorXRGB(0, 0, 0), 0xFF000000u}, // opaque black, the clear colour
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.got, c.want) << std::hex << c.want;
}

TEST(Colour, SplitsArgbIntoChannels) {
    const TColor32 c = 0xA1B2C3D4u;
    EXPECT_EQ(ColorA(c), 0xA1);
    EXPECT_EQ(ColorR(c), 0xB2);
    EXPECT_EQ(ColorG(c), 0xC3);
    EXPECT_EQ(ColorB(c), 0xD4);
    EXPECT_EQ(ColorARGB(ColorA(c), ColorR(c), ColorG(c), ColorB(c)), c);
}

// Devices read vertices as raw 28-byte records, so each value must land at its offset.
TEST(Vertex, MakeVertexFillsTheDeviceRecord) {
    const TVertex3D v = MakeVertex(0x11223344u, 1.5f, -2.0f, 0.25f, 0.75f, 0.125f);
    unsigned char bytes[28];
    static_assert(sizeof bytes == sizeof v);
    std::memcpy(bytes, &v, sizeof v);
    auto floatAt = [&](int offset) {
        float f;
        std::memcpy(&f, bytes + offset, 4);
        return f;
    };
    EXPECT_EQ(floatAt(0), 1.5f);
    EXPECT_EQ(floatAt(4), -2.0f);
    EXPECT_EQ(floatAt(8), 0.25f);
    EXPECT_EQ(floatAt(12), 1.0f); // rhw
    // Colour bytes in memory: blue, green, red, alpha.
    EXPECT_EQ(bytes[16], 0x44);
    EXPECT_EQ(bytes[17], 0x33);
    EXPECT_EQ(bytes[18], 0x22);
    EXPECT_EQ(bytes[19], 0x11);
    EXPECT_EQ(floatAt(20), 0.75f);
    EXPECT_EQ(floatAt(24), 0.125f);
}

} // namespace
} // namespace gm
