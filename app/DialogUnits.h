// Dialog templates give sizes in dialog units: a quarter of the font's average
// character width horizontally, an eighth of its height vertically.
#pragma once

#include <QFont>
#include <QFontMetrics>
#include <QSize>

namespace korvo {

inline QSize DialogUnitsToPixels(const QFont& font, int widthUnits, int heightUnits)
{
    const QFontMetrics metrics(font);
    const int charWidth = qMax(1, metrics.averageCharWidth());
    const int charHeight = qMax(1, metrics.height());
    return QSize((widthUnits * charWidth + 2) / 4, (heightUnits * charHeight + 4) / 8);
}

}  // namespace korvo
