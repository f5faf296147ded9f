#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "MemoryDecoder.h"
#include "doubles/RecordingDevice.h"
#include "render/NullDevice.h"
#include "render/gm_Tex.h"

namespace gm {
namespace {

using test::MemoryDecoder;
using test::SolidImage;
using test::TestNaming;

class TexListTest : public ::testing::Test {
protected:
    TexListTest() {
        Device.Create(800, 600);
        Textures.SetDevice(&Device);
        Device.ClearLog();
    }
    std::size_t Count(DeviceOp op) const { return Device.Count(op); }
    const MemoryTexture& Memory(const TgmTex* tex) const {
        return dynamic_cast<const MemoryTexture&>(*tex->DevTex);
    }

    MemoryDecoder Decoder;
    RecordingDevice Device;
    TexList Textures{Decoder, TestNaming()};
};

TEST_F(TexListTest, SameNameSharesOneTextureUntilTheLastReleaseFreesIt) {
    Decoder.Files["wall.png"] = SolidImage(2, 2, 0xFF102030u);
    TgmTex* a = Textures.TexAcquire(u"wall.png");
    TgmTex* b = Textures.TexAcquire(u"wall.png");
    ASSERT_EQ(a, b);
    EXPECT_EQ(a->RefCount, 2);
    EXPECT_EQ(Count(DeviceOp::CreateTexture), 1u);
    EXPECT_EQ(Decoder.Opened.size(), 1u); // decoded once however many users

    Textures.TexRelease(a);
    EXPECT_EQ(Textures.Entries().Size(), 1u);
    EXPECT_EQ(Count(DeviceOp::ReleaseTexture), 0u);
    Textures.TexRelease(b);
    EXPECT_TRUE(Textures.Entries().Empty());
    EXPECT_EQ(Count(DeviceOp::ReleaseTexture), 1u);

    // Gone means gone: the next request decodes the file again.
    Textures.TexRelease(Textures.TexAcquire(u"wall.png"));
    EXPECT_EQ(Decoder.Opened.size(), 2u);
}

TEST_F(TexListTest, NamesAreComparedExactly) {
    Decoder.Files["a.bmp"] = SolidImage(1, 1, 0xFF000000u);
    Decoder.Files["A.bmp"] = SolidImage(1, 1, 0xFF000000u);
    TgmTex* lower = Textures.TexAcquire(u"a.bmp");
    TgmTex* upper = Textures.TexAcquire(u"A.bmp");
    EXPECT_NE(lower, upper);
    EXPECT_EQ(Textures.Entries().Size(), 2u);
    EXPECT_EQ(Count(DeviceOp::CreateTexture), 2u);
}

TEST_F(TexListTest, LoadsPixelsInArgbAndLeavesTheTextureUnlocked) {
    test::MemoryImage image{2, 2, {0x80112233u, 0x00445566u, 0xFF778899u, 0x01AABBCCu}, false};
    Decoder.Files["p.png"] = image;
    TgmTex* tex = Textures.TexAcquire(u"p.png");
    ASSERT_TRUE(tex->Loaded());
    const MemoryTexture& mem = Memory(tex);
    EXPECT_EQ(mem.Width(), 2);
    EXPECT_EQ(mem.Height(), 2);
    EXPECT_FALSE(mem.Locked());
    EXPECT_EQ(mem.Pixel(0, 0), 0x80112233u);
    EXPECT_EQ(mem.Pixel(1, 0), 0x00445566u); // alpha kept: another pixel has alpha
    EXPECT_EQ(mem.Pixel(0, 1), 0xFF778899u);
    EXPECT_EQ(mem.Pixel(1, 1), 0x01AABBCCu);
    EXPECT_EQ(Device.Lines(), (std::vector<std::string>{"CreateTexture 2 2 tex1", "LockRect tex1",
                                                        "UnlockRect tex1"}));
}

TEST_F(TexListTest, ImageWithoutAlphaBecomesOpaque) {
    Decoder.Files["rgb.jpg"] = test::MemoryImage{2, 1, {0x00102030u, 0x00405060u}, false};
    TgmTex* tex = Textures.TexAcquire(u"rgb.jpg");
    EXPECT_EQ(Memory(tex).Pixel(0, 0), 0xFF102030u);
    EXPECT_EQ(Memory(tex).Pixel(1, 0), 0xFF405060u);
}

TEST(TexAlphaFixup, OneNonZeroAlphaAnywhereKeepsTheImageAndPaddingIsNeverTouched) {
    // 2 x 2 pixels, rows 12 bytes apart: the last 4 bytes of each row are padding.
    const int pitch = 12;
    auto image = [&](std::uint8_t lastAlpha) {
        std::vector<std::uint8_t> bytes(2 * pitch, 0x7F);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 2; ++x)
                bytes[std::size_t(y * pitch + x * 4 + 3)] = 0;
        bytes[std::size_t(pitch + 4 + 3)] = lastAlpha; // bottom-right pixel
        return bytes;
    };
    std::vector<std::uint8_t> kept = image(1);
    const std::vector<std::uint8_t> before = kept;
    EXPECT_FALSE(TexAlphaFixup(kept.data(), 2, 2, pitch));
    EXPECT_EQ(kept, before);

    std::vector<std::uint8_t> opaque = image(0);
    EXPECT_TRUE(TexAlphaFixup(opaque.data(), 2, 2, pitch));
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 2; ++x)
            EXPECT_EQ(opaque[std::size_t(y * pitch + x * 4 + 3)], 255);
        for (int pad = 8; pad < pitch; ++pad)
            EXPECT_EQ(opaque[std::size_t(y * pitch + pad)], 0x7F);
    }
}

TEST_F(TexListTest, MissingFileIsReportedOnceAndItsEntryServesLaterRequests) {
    TgmTex* first = Textures.TexAcquire(u"missing.png");
    EXPECT_FALSE(first->Loaded());
    EXPECT_EQ(first->RefCount, 1);
    EXPECT_EQ(first->Error, "TgmTex.LoadFile. Error load file:missing.png");
    EXPECT_EQ(Textures.TakeFailures(),
              std::vector<std::string>{"TgmTex.LoadFile. Error load file:missing.png"});

    TgmTex* again = Textures.TexAcquire(u"missing.png");
    EXPECT_EQ(again, first);
    EXPECT_EQ(again->RefCount, 2);
    EXPECT_EQ(Decoder.Opened.size(), 1u); // not tried again
    EXPECT_TRUE(Textures.TakeFailures().empty());
    EXPECT_EQ(Count(DeviceOp::CreateTexture), 0u);
}

TEST_F(TexListTest, EachFailingStepLeavesAnEntryWithoutTextureAndItsOwnMessage) {
    struct Case {
        const char* what;
        DeviceOp failOp; // DeviceOp::Present: no device failure
        bool failRead;
        std::string message;
    };
    const Case cases[] = {
        {"damaged", DeviceOp::Present, true, "TGraphBuf.LoadRGBA. Error load file:f.png"},
        {"no texture", DeviceOp::CreateTexture, false, "CreateTexture"},
        {"no lock", DeviceOp::LockRect, false, "Tex.Lock"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RecordingDevice device;
        device.Create(800, 600);
        device.FailOn(c.failOp);
        MemoryDecoder decoder;
        decoder.Files["f.png"] = SolidImage(2, 2, 0xFFFFFFFFu);
        decoder.Files["f.png"].FailRead = c.failRead;
        TexList textures(decoder, TestNaming());
        textures.SetDevice(&device);

        TgmTex* tex = textures.TexAcquire(u"f.png");
        EXPECT_FALSE(tex->Loaded());
        EXPECT_EQ(tex->Error, c.message);
        EXPECT_EQ(textures.TakeFailures(), std::vector<std::string>{c.message});
        // Whatever was created is released again, and nothing stays locked.
        EXPECT_EQ(device.Count(DeviceOp::LockRect) - (c.failOp == DeviceOp::LockRect ? 1u : 0u),
                  device.Count(DeviceOp::UnlockRect));
        EXPECT_EQ(device.Count(DeviceOp::ReleaseTexture),
                  c.failOp == DeviceOp::CreateTexture ? 0u : 1u);
    }
}

TEST_F(TexListTest, ZeroSizedImageIsALoadFailure) {
    Decoder.Files["empty.png"] = test::MemoryImage{0, 5, {}, false};
    TgmTex* tex = Textures.TexAcquire(u"empty.png");
    EXPECT_FALSE(tex->Loaded());
    EXPECT_EQ(tex->Error, "TgmTex.LoadFile. Error load file:empty.png");
    EXPECT_EQ(Count(DeviceOp::CreateTexture), 0u);
}

TEST(TexList, NamesGoThroughTheNamingBeforeTheDecoder) {
    MemoryDecoder decoder;
    decoder.Files["/start/tex/stone.png"] = SolidImage(1, 1, 0xFF000000u);
    NullDevice device;
    device.Create(800, 600);
    TexList textures(decoder, TestNaming("/start"));
    textures.SetDevice(&device);
    TgmTex* tex = textures.TexAcquire(u"tex/stone.png");
    EXPECT_TRUE(tex->Loaded());
    EXPECT_EQ(tex->TexFileName, u"tex/stone.png"); // the key stays the requested name
    ASSERT_EQ(decoder.Opened.size(), 1u);
    EXPECT_EQ(decoder.Opened[0], "/start/tex/stone.png");
}

TEST(TexList, EntriesWaitForADeviceAndMoveToANewOne) {
    MemoryDecoder decoder;
    decoder.Files["ok.png"] = SolidImage(1, 1, 0xFF000000u);
    TexList textures(decoder, TestNaming());
    TgmTex* ok = textures.TexAcquire(u"ok.png");
    TgmTex* bad = textures.TexAcquire(u"bad.png");
    EXPECT_FALSE(ok->Loaded());
    EXPECT_TRUE(ok->Error.empty());
    EXPECT_TRUE(textures.TakeFailures().empty()); // nothing tried without a device

    RecordingDevice first;
    first.Create(800, 600);
    textures.SetDevice(&first);
    EXPECT_TRUE(ok->Loaded());
    EXPECT_EQ(ok->RefCount, 1);
    EXPECT_EQ(textures.TakeFailures(),
              std::vector<std::string>{"TgmTex.LoadFile. Error load file:bad.png"});

    RecordingDevice second;
    second.Create(800, 600);
    textures.SetDevice(&second);
    EXPECT_EQ(first.Count(DeviceOp::ReleaseTexture), 1u);
    EXPECT_EQ(second.Count(DeviceOp::CreateTexture), 1u); // the failed one is not retried
    EXPECT_TRUE(ok->Loaded());
    EXPECT_FALSE(bad->Loaded());
    EXPECT_TRUE(textures.TakeFailures().empty());

    textures.SetDevice(nullptr);
    EXPECT_FALSE(ok->Loaded());
    EXPECT_EQ(second.Count(DeviceOp::ReleaseTexture), 1u);
}

} // namespace
} // namespace gm
