#pragma once

#include <QFont>
#include <QRect>

namespace kb {

// Positions on the forms were drawn in twips; 15 twips make a pixel.
inline constexpr int kTwipsPerPixel = 15;

constexpr int twipsToPixels(int twips) {
    return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel;
}

constexpr QRect twips(int left, int top, int width, int height) {
    return {twipsToPixels(left), twipsToPixels(top), twipsToPixels(width), twipsToPixels(height)};
}

// The face of every push button on both forms.
inline QFont buttonFont() {
    QFont font(QStringLiteral("Tahoma"));
    font.setPointSizeF(9);
    return font;
}

// The face of the forms themselves: their labels and fields.
inline QFont formFont() {
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setPointSizeF(8.25);
    return font;
}

} // namespace kb
