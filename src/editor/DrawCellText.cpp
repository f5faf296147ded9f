#include "editor/DrawCellText.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>
#include <cmath>

#include "foundation/QX_Str.h"

namespace gm {

namespace {

int Shaded(int channel, float factor) {
    return std::clamp(static_cast<int>(std::lround(channel * static_cast<double>(factor))), 0, 255);
}

// Integer halving that rounds towards zero, as the cell arithmetic always has.
int Half(int v) {
    return v / 2;
}

} // namespace

void DrawCellText(QPainter& painter, const QRect& cell, const CellStyle& style,
                  const std::u16string& text) {
    painter.save();
    const QPen textPen = painter.pen();
    // Edges as exclusive coordinates: right and bottom lie just outside the cell.
    const int left = cell.left();
    const int top = cell.top();
    const int right = cell.left() + cell.width();
    const int bottom = cell.top() + cell.height();

    if (style.BrushStyle != Qt::NoBrush)
        painter.fillRect(cell, QBrush(style.BrushColour, style.BrushStyle));

    if (style.PenStyle != Qt::NoPen && style.Bevel > 0) {
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setPen(QPen(style.PenColour, 1, style.PenStyle));
        for (int k = 0; k < style.Bevel; ++k) {
            painter.drawLine(right - 2 - k, top + k, left + k, top + k);
            painter.drawLine(left + k, top + k, left + k, bottom - 3 - k);
        }
        const QColor dark(Shaded(style.PenColour.red(), style.Shade),
                          Shaded(style.PenColour.green(), style.Shade),
                          Shaded(style.PenColour.blue(), style.Shade));
        painter.setPen(QPen(dark, 1, style.PenStyle));
        for (int k = 0; k < style.Bevel; ++k) {
            painter.drawLine(left + k, bottom - 1 - k, right - 1 - k, bottom - 1 - k);
            painter.drawLine(right - 1 - k, bottom - 1 - k, right - 1 - k, top + k);
        }
    }

    const QString shown = QString::fromStdU16String(TrimQX(text));
    if (!shown.isEmpty()) {
        const int inset = style.Bevel + 1;
        const QRect inner(left + inset, top + inset, cell.width() - 2 * inset,
                          cell.height() - 2 * inset);
        const QSize extent = painter.fontMetrics().size(0, shown);
        const int innerRight = inner.left() + inner.width();
        const int innerBottom = inner.top() + inner.height();
        int x = inner.left();
        if (style.HAlign == 0)
            x = Half(inner.left() + innerRight) - Half(extent.width());
        else if (style.HAlign > 0)
            x = innerRight - extent.width();
        int y = inner.top();
        if (style.VAlign == 0)
            y = Half(inner.top() + innerBottom) - Half(extent.height());
        else if (style.VAlign > 0)
            y = innerBottom - extent.height();

        painter.setClipRect(inner, Qt::IntersectClip);
        painter.setPen(textPen);
        if (style.FreePlace) {
            painter.drawText(QRect(x, y, extent.width(), extent.height()),
                             Qt::AlignLeft | Qt::AlignTop, shown);
        } else {
            const Qt::Alignment h = style.HAlign < 0    ? Qt::AlignLeft
                                    : style.HAlign == 0 ? Qt::AlignHCenter
                                                        : Qt::AlignRight;
            painter.drawText(QRect(inner.left(), y, inner.width(), extent.height()),
                             h | Qt::AlignTop, shown);
        }
    }
    painter.restore();
}

} // namespace gm
