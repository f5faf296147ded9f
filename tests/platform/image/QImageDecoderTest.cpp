#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include <QImage>
#include <QString>
#include <gtest/gtest.h>

#include "platform/image/QImageDecoder.h"
#include "support/TempDir.h"

namespace gm {
namespace {

constexpr std::uint32_t R = 0x00FF0000u, G = 0x0000FF00u, B = 0x000000FFu, A = 0xFF000000u;

class QImageDecoderTest : public test::TempDirTest {
protected:
    // Saves a 2 x 2 image with four distinct pixels and returns its path.
    std::string Save(const std::string& name, QImage::Format format, const char* kind,
                     const std::vector<QRgb>& pixels) {
        QImage image(2, 2, format);
        for (int i = 0; i < 4; ++i)
            image.setPixel(i % 2, i / 2, pixels[std::size_t(i)]);
        const std::string path = Dir.File(name);
        EXPECT_TRUE(image.save(QString::fromStdString(path), kind));
        return path;
    }
    // Decodes the whole file into rows of `pitch` bytes (filled with 0xEE first).
    std::vector<std::uint8_t> Decode(const std::string& path, int pitch, std::uint32_t r = R,
                                     std::uint32_t g = G, std::uint32_t b = B,
                                     std::uint32_t a = A) {
        int w = 0, h = 0;
        EXPECT_TRUE(Decoder.ReadStart(path, w, h));
        std::vector<std::uint8_t> bytes(std::size_t(pitch * h), 0xEE);
        EXPECT_TRUE(Decoder.Read(bytes.data(), pitch, r, g, b, a, 4));
        return bytes;
    }
    static std::uint32_t At(const std::vector<std::uint8_t>& bytes, int pitch, int x, int y) {
        const std::uint8_t* p = bytes.data() + y * pitch + x * 4;
        return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
               std::uint32_t(p[3]) << 24;
    }

    QImageDecoder Decoder;
};

const std::vector<QRgb> kPixels = {0x80112233u, 0xFF445566u, 0x00778899u, 0x40AABBCCu};

TEST_F(QImageDecoderTest, PngKeepsStraightAlphaAndHonoursThePitch) {
    const std::string path = Save("alpha.png", QImage::Format_ARGB32, "PNG", kPixels);
    int w = 0, h = 0;
    ASSERT_TRUE(Decoder.ReadStart(path, w, h));
    EXPECT_EQ(w, 2);
    EXPECT_EQ(h, 2);
    const int pitch = 12;
    const std::vector<std::uint8_t> bytes = Decode(path, pitch);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(At(bytes, pitch, i % 2, i / 2), kPixels[std::size_t(i)]);
    for (int y = 0; y < 2; ++y)
        for (int pad = 8; pad < pitch; ++pad)
            EXPECT_EQ(bytes[std::size_t(y * pitch + pad)], 0xEE);
}

TEST_F(QImageDecoderTest, ImagesWithoutAlphaGiveAlphaZero) {
    const std::vector<QRgb> opaque = {0xFF102030u, 0xFF405060u, 0xFF708090u, 0xFFA0B0C0u};
    const std::string path = Save("plain.bmp", QImage::Format_RGB32, "BMP", opaque);
    const std::vector<std::uint8_t> bytes = Decode(path, 8);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(At(bytes, 8, i % 2, i / 2), opaque[std::size_t(i)] & 0x00FFFFFFu);
}

TEST_F(QImageDecoderTest, JpegDecodesToItsSizeWithAlphaZero) {
    QImage image(16, 8, QImage::Format_RGB32);
    image.fill(QColor(200, 40, 40));
    const std::string path = Dir.File("bg.jpg");
    ASSERT_TRUE(image.save(QString::fromStdString(path), "JPEG", 95));
    int w = 0, h = 0;
    ASSERT_TRUE(Decoder.ReadStart(path, w, h));
    EXPECT_EQ(w, 16);
    EXPECT_EQ(h, 8);
    std::vector<std::uint8_t> bytes(16 * 8 * 4);
    ASSERT_TRUE(Decoder.Read(bytes.data(), 64, R, G, B, A, 4));
    const std::uint32_t c = At(bytes, 64, 5, 3);
    EXPECT_EQ(c >> 24, 0u);
    EXPECT_NEAR(double((c >> 16) & 0xFF), 200, 6);
    EXPECT_NEAR(double((c >> 8) & 0xFF), 40, 6);
    EXPECT_NEAR(double(c & 0xFF), 40, 6);
}

TEST_F(QImageDecoderTest, FormatComesFromTheContentAndNamesMayBeUtf8) {
    const std::string path =
        Save("b\xC3\xA4ume.jpg", QImage::Format_ARGB32, "PNG", kPixels); // a PNG named .jpg
    EXPECT_EQ(At(Decode(path, 8), 8, 1, 1), kPixels[3]);
}

TEST_F(QImageDecoderTest, MasksPlaceTheChannels) {
    const std::string path = Save("m.png", QImage::Format_ARGB32, "PNG", kPixels);
    // Red and blue swapped (bytes R, G, B, A in memory).
    const std::vector<std::uint8_t> swapped = Decode(path, 8, B, G, R, A);
    EXPECT_EQ(At(swapped, 8, 0, 0), 0x80332211u);
    // No alpha mask: the alpha bits stay 0.
    const std::vector<std::uint8_t> noAlpha = Decode(path, 8, R, G, B, 0);
    EXPECT_EQ(At(noAlpha, 8, 0, 0), 0x00112233u);

    int w = 0, h = 0;
    std::vector<std::uint8_t> bytes(16);
    for (std::uint32_t badRed : {0x0000FFFFu, 0u, 0x00F0F000u}) {
        ASSERT_TRUE(Decoder.ReadStart(path, w, h));
        EXPECT_FALSE(Decoder.Read(bytes.data(), 8, badRed, G, B, A, 4)) << std::hex << badRed;
    }
    ASSERT_TRUE(Decoder.ReadStart(path, w, h));
    EXPECT_FALSE(Decoder.Read(bytes.data(), 7, R, G, B, A, 4)); // pitch shorter than a row
}

TEST_F(QImageDecoderTest, UnreadableFilesFailAtTheStart) {
    const std::string png = Save("good.png", QImage::Format_ARGB32, "PNG", kPixels);
    const std::string whole = test::TempDir::Read(png);
    struct Case {
        const char* what;
        std::string path;
    };
    const Case cases[] = {
        {"missing", Dir.File("none.png")},
        {"text", Dir.Write("text.png", "not an image at all")},
        {"empty", Dir.Write("empty.bmp", "")},
        {"truncated", Dir.Write("cut.png", whole.substr(0, whole.size() / 2))},
        {"folder", Dir.Path().string()},
    };
    for (const Case& c : cases) {
        int w = -1, h = -1;
        EXPECT_FALSE(Decoder.ReadStart(c.path, w, h)) << c.what;
        std::vector<std::uint8_t> bytes(64);
        EXPECT_FALSE(Decoder.Read(bytes.data(), 8, R, G, B, A, 4)) << c.what;
    }
}

TEST_F(QImageDecoderTest, ReadEndsTheUseOfTheImage) {
    const std::string path = Save("once.png", QImage::Format_ARGB32, "PNG", kPixels);
    std::vector<std::uint8_t> bytes(16);
    EXPECT_FALSE(Decoder.Read(bytes.data(), 8, R, G, B, A, 4)); // nothing open yet
    int w = 0, h = 0;
    ASSERT_TRUE(Decoder.ReadStart(path, w, h));
    EXPECT_TRUE(Decoder.Read(bytes.data(), 8, R, G, B, A, 4));
    EXPECT_FALSE(Decoder.Read(bytes.data(), 8, R, G, B, A, 4));
}

} // namespace
} // namespace gm
