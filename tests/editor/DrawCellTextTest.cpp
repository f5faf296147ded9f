#include "editor/DrawCellText.h"

#include <QImage>
#include <QPainter>
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

namespace gm {
namespace {

// Paints one cell on a white image with black text and answers the image.
QImage Paint(const QRect& cell, const CellStyle& style, const std::u16string& text,
             QSize size = QSize(160, 80)) {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(Qt::black);
    DrawCellText(painter, cell, style, text);
    painter.end();
    return image;
}

// Bounding box of the text's ink (dark pixels).
QRect Ink(const QImage& image) {
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 128) box |= QRect(x, y, 1, 1);
    return box;
}

TEST(DrawCellText, BevelIsLightTopLeftAndShadedBottomRight) {
    CellStyle style;
    style.BrushStyle = Qt::SolidPattern;
    style.BrushColour = QColor(255, 0, 0);
    style.PenStyle = Qt::SolidLine;
    style.PenColour = QColor(200, 100, 50);
    style.Bevel = 2;
    style.Shade = 0.5f;
    const QImage image = Paint(QRect(10, 10, 40, 20), style, u"");
    const QRgb light = qRgb(200, 100, 50);
    const QRgb dark = qRgb(100, 50, 25);
    const struct {
        int x, y;
        QRgb colour;
    } pixels[] = {
        {10, 10, light},
        {48, 10, light},
        {10, 27, light}, // outer top and left
        {11, 11, light},
        {47, 11, light},
        {11, 26, light}, // second line, inset by one
        {10, 29, dark},
        {49, 29, dark},
        {49, 10, dark}, // outer bottom and right
        {11, 28, dark},
        {48, 28, dark},
        {48, 11, dark},            // second line
        {25, 20, qRgb(255, 0, 0)}, // the filled inside
        {9, 9, qRgb(255, 255, 255)},
        {50, 30, qRgb(255, 255, 255)}, // outside stays
    };
    for (const auto& p : pixels)
        EXPECT_EQ(image.pixel(p.x, p.y) & 0xFFFFFF, p.colour & 0xFFFFFF) << p.x << "," << p.y;
}

TEST(DrawCellText, ShadeIsRoundedAndLimited) {
    CellStyle style;
    style.PenStyle = Qt::SolidLine;
    style.PenColour = QColor(200, 100, 51);
    style.Bevel = 1;
    style.Shade = 1.5f;
    const QImage image = Paint(QRect(0, 0, 20, 20), style, u"");
    EXPECT_EQ(image.pixel(19, 19) & 0xFFFFFF, qRgb(255, 150, 77) & 0xFFFFFF); // 76.5 rounds up
}

TEST(DrawCellText, TextAlignsWithinTheInsetCell) {
    const QRect cell(0, 0, 150, 60);
    const int inset = 2 + 1; // bevel 2 plus one
    const QRect inner = cell.adjusted(inset, inset, -inset, -inset);
    const struct {
        int h, v;
        bool free;
    } cases[] = {{-1, -1, false}, {0, 0, false}, {1, 1, false},
                 {-1, 1, true},   {0, -1, true}, {1, 0, true}};
    for (const auto& c : cases) {
        CellStyle style;
        style.Bevel = 2;
        style.HAlign = c.h;
        style.VAlign = c.v;
        style.FreePlace = c.free;
        const QRect ink = Ink(Paint(cell, style, u"  Hm  "));
        ASSERT_TRUE(ink.isValid());
        EXPECT_TRUE(inner.contains(ink)) << c.h << c.v;
        const int slackX = 6, slackY = 8; // side bearings and the line's ascent and descent
        const std::string where = std::to_string(c.h) + "," + std::to_string(c.v);
        // Distance of the ink from the edge it is aligned to (or between its margins).
        const int fromLeft = ink.left() - inner.left(), fromRight = inner.right() - ink.right();
        const int fromTop = ink.top() - inner.top(), fromBottom = inner.bottom() - ink.bottom();
        const int near = c.h < 0 ? fromLeft : c.h > 0 ? fromRight : std::abs(fromLeft - fromRight);
        const int nearY = c.v < 0 ? fromTop : c.v > 0 ? fromBottom : std::abs(fromTop - fromBottom);
        EXPECT_LE(near, slackX) << where;
        EXPECT_LE(nearY, slackY) << where;
    }
}

TEST(DrawCellText, TextIsClippedToTheInsetCell) {
    CellStyle style;
    style.Bevel = 1;
    const QRect cell(20, 20, 30, 12);
    const QImage image = Paint(cell, style, u"WWWWWWWWWWWWWWWWWWWW\nWWWW\nWWWW");
    const QRect ink = Ink(image);
    ASSERT_TRUE(ink.isValid());
    EXPECT_TRUE(cell.adjusted(2, 2, -2, -2).contains(ink))
        << ink.x() << "," << ink.y() << " " << ink.width() << "x" << ink.height();
}

TEST(DrawCellText, BlankTextDrawsOnlyTheCellAndStateIsRestored) {
    QImage image(40, 40, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(QPen(Qt::blue, 3));
    painter.setBrush(Qt::green);
    CellStyle style;
    style.BrushStyle = Qt::SolidPattern;
    style.BrushColour = Qt::yellow;
    style.PenStyle = Qt::SolidLine;
    style.PenColour = Qt::black;
    style.Bevel = 1;
    DrawCellText(painter, QRect(0, 0, 20, 20), style, u" \t ");
    EXPECT_EQ(painter.pen().color(), QColor(Qt::blue));
    EXPECT_EQ(painter.pen().width(), 3);
    EXPECT_EQ(painter.brush().color(), QColor(Qt::green));
    EXPECT_FALSE(painter.hasClipping());
    painter.end();
    EXPECT_EQ(image.pixel(10, 10), QColor(Qt::yellow).rgba());
}

} // namespace
} // namespace gm
