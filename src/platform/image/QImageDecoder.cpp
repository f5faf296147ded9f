#include "platform/image/QImageDecoder.h"

#include <bit>

#include <QImage>
#include <QImageReader>
#include <QString>

namespace gm {

struct QImageDecoder::Open {
    QImage Image;
    bool HasAlpha = false;
};

QImageDecoder::QImageDecoder() = default;
QImageDecoder::~QImageDecoder() = default;

bool QImageDecoder::ReadStart(const std::string& fileName, int& width, int& height) {
    Open_.reset();
    // File names are in the system code page, which is what Qt calls the local 8-bit encoding.
    QImageReader reader(QString::fromLocal8Bit(fileName.data(), qsizetype(fileName.size())));
    reader.setDecideFormatFromContent(true);
    // Decoding here rather than in Read makes the size given out the size that Read writes, even
    // for formats whose header alone does not tell it. Qt's allocation limit refuses absurd sizes.
    auto open = std::make_unique<Open>();
    if (!reader.read(&open->Image) || open->Image.isNull()) return false;
    if (std::int64_t(open->Image.width()) * open->Image.height() > MaxPixels) return false;
    open->HasAlpha = open->Image.hasAlphaChannel();
    open->Image = open->Image.convertToFormat(QImage::Format_ARGB32); // straight alpha
    if (open->Image.isNull()) return false;
    width = open->Image.width();
    height = open->Image.height();
    Open_ = std::move(open);
    return true;
}

namespace {

// Bit position of an 8-bit channel mask inside a pixel of `bits` bits; -1 when the mask is not
// one byte-wide run of ones that fits.
int ChannelShift(std::uint32_t mask, int bits) {
    if (mask == 0) return -1;
    const int shift = std::countr_zero(mask);
    if ((mask >> shift) != 0xFFu || shift + 8 > bits) return -1;
    return shift;
}

} // namespace

bool QImageDecoder::Read(void* dest, int pitch, std::uint32_t redMask, std::uint32_t greenMask,
                         std::uint32_t blueMask, std::uint32_t alphaMask, int bytesPerPixel) {
    std::unique_ptr<Open> open = std::move(Open_); // Read ends the use of the open image
    if (!open || !dest || bytesPerPixel < 1 || bytesPerPixel > 4) return false;
    const int bits = bytesPerPixel * 8;
    const int rs = ChannelShift(redMask, bits);
    const int gs = ChannelShift(greenMask, bits);
    const int bs = ChannelShift(blueMask, bits);
    const int as = alphaMask ? ChannelShift(alphaMask, bits) : 0;
    if (rs < 0 || gs < 0 || bs < 0 || as < 0) return false;

    const QImage& image = open->Image;
    const bool hasAlpha = open->HasAlpha;
    if (pitch < image.width() * bytesPerPixel) return false;

    auto* out = static_cast<std::uint8_t*>(dest);
    for (int y = 0; y < image.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        std::uint8_t* row = out + std::ptrdiff_t(y) * pitch;
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = in[x];
            std::uint32_t v = (std::uint32_t(qRed(c)) << rs) | (std::uint32_t(qGreen(c)) << gs) |
                              (std::uint32_t(qBlue(c)) << bs);
            if (alphaMask && hasAlpha) v |= std::uint32_t(qAlpha(c)) << as;
            for (int i = 0; i < bytesPerPixel; ++i)
                row[x * bytesPerPixel + i] = std::uint8_t(v >> (8 * i));
        }
    }
    return true;
}

} // namespace gm
