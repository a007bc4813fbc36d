// Colours as the layout stores them: 0x00BBGGRR.
#pragma once

#include <QColor>
#include <cstdint>

using TColor = uint32_t;

inline QColor ToQColor(TColor c)
{
    return QColor(int(c & 0xFF), int(c >> 8 & 0xFF), int(c >> 16 & 0xFF));
}
