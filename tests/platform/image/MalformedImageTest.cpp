// Texture files that are not images, requested as the triangles of a unit request them: each
// leaves an entry without a texture (drawn untextured) and one message naming the file, and a
// second request of the same name neither loads again nor reports again.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <QImage>
#include <QString>
#include <gtest/gtest.h>
#include <zlib.h>

#include "platform/image/QImageDecoder.h"
#include "render/NullDevice.h"
#include "render/gm_Tex.h"
#include "support/TempDir.h"

namespace gm {
namespace {

std::string BigEndian(std::uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
            static_cast<char>(v)};
}

std::string PngChunk(const std::string& type, const std::string& data) {
    const std::string body = type + data;
    const auto crc = static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size())));
    return BigEndian(static_cast<std::uint32_t>(data.size())) + body + BigEndian(crc);
}

// A well-formed PNG header for an image of 60000 x 60000 pixels, with no pixel data behind it.
std::string HugePng() {
    const std::string header =
        BigEndian(60000) + BigEndian(60000) + std::string("\x08\x06\0\0\0", 5);
    return std::string("\x89PNG\r\n\x1a\n", 8) + PngChunk("IHDR", header) +
           PngChunk("IEND", std::string());
}

class MalformedTextureTest : public test::TempDirTest {
protected:
    void SetUp() override { Device.Create(800, 600); }

    QImageDecoder Decoder;
    NullDevice Device;
};

TEST_F(MalformedTextureTest, FilesThatAreNotImagesGiveNoTextureAndOneMessage) {
    QImage good(4, 4, QImage::Format_ARGB32);
    good.fill(0xFF336699u);
    const std::string goodPath = Dir.File("good.png");
    ASSERT_TRUE(good.save(QString::fromStdString(goodPath), "PNG"));
    const std::string whole = test::TempDir::Read(goodPath);

    Dir.Write("text.png", "KeyGroup {\n}\n");
    Dir.Write("empty.png", "");
    Dir.Write("cut.png", whole.substr(0, whole.size() / 2));
    Dir.Write("huge.png", HugePng());
    std::filesystem::create_directory(Dir.Path() / "folder.png");

    TexList list(Decoder, SystemTexFileNaming(Dir.Path().string()));
    list.SetDevice(&Device);
    for (const char* name : {"text.png", "empty.png", "cut.png", "huge.png", "folder.png"}) {
        SCOPED_TRACE(name);
        const std::u16string wide(name, name + std::char_traits<char>::length(name));
        TgmTex* tex = list.TexAcquire(wide);
        EXPECT_FALSE(tex->Loaded());
        EXPECT_EQ(
            list.TakeFailures(),
            std::vector<std::string>{std::string("TgmTex.LoadFile. Error load file:") + name});
        EXPECT_EQ(list.TexAcquire(wide), tex);
        EXPECT_EQ(tex->RefCount, 2);
        EXPECT_TRUE(list.TakeFailures().empty());
    }
    // The good file beside them still loads.
    EXPECT_TRUE(list.TexAcquire(u"good.png")->Loaded());
    EXPECT_TRUE(list.TakeFailures().empty());
}

} // namespace
} // namespace gm
