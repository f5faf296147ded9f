#pragma once
// The grid-cell painter of the editor's dialogs: a filled cell with an optional bevel and one
// block of text aligned inside it, clipped to the cell. The painter's state (brush, pen, clip) is
// saved on entry and restored on return; the text is drawn in the painter's pen colour as set by
// the caller.

#include <QColor>
#include <QRect>
#include <string>

class QPainter;

namespace gm {

struct CellStyle {
    Qt::BrushStyle BrushStyle = Qt::NoBrush;
    QColor BrushColour;
    Qt::PenStyle PenStyle = Qt::NoPen;
    QColor PenColour;
    int Bevel = 0;          // width of the bevel in pixels
    float Shade = 1.0f;     // factor on the pen colour for the bottom and right bevel lines
    int HAlign = -1;        // negative left, 0 centre, positive right
    int VAlign = 0;         // negative top, 0 middle, positive bottom
    bool FreePlace = false; // text at the computed corner rather than in a band across the cell
};

void DrawCellText(QPainter& painter, const QRect& cell, const CellStyle& style,
                  const std::u16string& text);

} // namespace gm
