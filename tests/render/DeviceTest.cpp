#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "doubles/RecordingDevice.h"
#include "foundation/QX_Error.h"
#include "render/NullDevice.h"

namespace gm {
namespace {

TEST(MemoryTexture, RefusesSizesNoDeviceWouldHold) {
    for (auto [w, h] : {std::pair{0, 4}, {4, -1}, {MemoryTexture::MaxSide + 1, 1}})
        EXPECT_EQ(MakeMemoryTexture(w, h), nullptr) << w << "x" << h;
    auto tex = MakeMemoryTexture(3, 2);
    ASSERT_NE(tex, nullptr);
    EXPECT_EQ(tex->Bytes().size(), 24u);
}

TEST(MemoryTexture, LocksOnceAtATime) {
    auto tex = MakeMemoryTexture(2, 1);
    LockedRect rect;
    EXPECT_FALSE(tex->UnlockRect());
    ASSERT_TRUE(tex->LockRect(rect));
    EXPECT_EQ(rect.Pitch, 8);
    EXPECT_FALSE(tex->LockRect(rect));
    static_cast<std::uint8_t*>(rect.Bits)[4] = 0x30; // pixel (1, 0): B G R A
    static_cast<std::uint8_t*>(rect.Bits)[7] = 0x80;
    EXPECT_TRUE(tex->UnlockRect());
    EXPECT_EQ(tex->Pixel(1, 0), 0x80000030u);
}

TEST(NullDevice, WorksOnlyBetweenCreateAndRelease) {
    NullDevice dev;
    EXPECT_FALSE(dev.BeginScene());
    EXPECT_EQ(dev.CreateTexture(1, 1, TexFormat::A8R8G8B8), nullptr);
    dev.Create(800, 600);
    EXPECT_EQ(dev.Width(), 800);
    EXPECT_TRUE(dev.BeginScene());
    EXPECT_NE(dev.CreateTexture(1, 1, TexFormat::A8R8G8B8), nullptr);
    dev.Release();
    EXPECT_FALSE(dev.Present());
    EXPECT_THROW(dev.Create(0, 600), ErrorQX);
}

TEST(RecordingDevice, FlagsDrawsOutsideTheirVertexRange) {
    RecordingDevice dev;
    const TVertex3D vertices[3] = {};
    const std::uint32_t inside[3] = {0, 1, 2};
    const std::uint32_t outside[3] = {0, 1, 3};
    EXPECT_TRUE(dev.DrawIndexedPrimitiveUP(PrimitiveType::TriangleList, 0, 3, 1, inside, vertices));
    EXPECT_FALSE(
        dev.DrawIndexedPrimitiveUP(PrimitiveType::TriangleList, 0, 3, 1, outside, vertices));
    EXPECT_EQ(dev.BadDraws(), 1u);
    EXPECT_EQ(dev.Lines().back(), "DrawIndexedPrimitiveUP TRIANGLELIST 0 3 1 [0 1 3] out-of-range");
}

TEST(RecordingDevice, CountsWithoutTextAndFailsOnRequest) {
    RecordingDevice dev;
    dev.SetKeepText(false);
    dev.Clear(ClearTarget | ClearZBuffer, 0xFF000000u, 1.0f, 0);
    dev.SetRenderState(RenderState::CullMode, CullCCW);
    EXPECT_TRUE(dev.Lines().empty());
    EXPECT_EQ(dev.Count(DeviceOp::Clear), 1u);
    EXPECT_EQ(dev.Count(DeviceOp::SetRenderState), 1u);

    dev.SetKeepText(true);
    dev.FailOn(DeviceOp::Present);
    EXPECT_FALSE(dev.Present());
    EXPECT_TRUE(dev.Clear(ClearTarget | ClearZBuffer, 0xFF000000u, 1.0f, 0));
    EXPECT_EQ(dev.Lines(), (std::vector<std::string>{"Present failed", "Clear 3 FF000000 1 0"}));
    dev.FailOn(DeviceOp::Create);
    EXPECT_THROW(dev.Create(800, 600), ErrorQX);
}

// Textures log into the device's record even when they outlive the device.
TEST(RecordingDevice, TexturesOutliveTheirDevice) {
    std::unique_ptr<DeviceTexture> tex;
    {
        RecordingDevice dev;
        tex = dev.CreateTexture(2, 2, TexFormat::A8R8G8B8);
        EXPECT_EQ(dev.TextureId(tex.get()), 1);
    }
    LockedRect rect;
    EXPECT_TRUE(tex->LockRect(rect));
    EXPECT_TRUE(tex->UnlockRect());
    tex.reset();
}

} // namespace
} // namespace gm
