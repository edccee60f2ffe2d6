#pragma once

#include <QRect>

namespace tarnix {

// Window layouts are laid out in twips; at 96 dpi, 15 twips make one pixel. Qt already scales
// logical pixels for other screen densities, so the ratio stays fixed here. Rounds to the
// nearest pixel (a whole number of twips is never exactly half a pixel).
constexpr int TwipsToPixels(int twips) {
    return twips >= 0 ? (twips * 2 + 15) / 30 : -((-twips * 2 + 15) / 30);
}

inline QRect TwipsRect(int left, int top, int width, int height) {
    return QRect(TwipsToPixels(left), TwipsToPixels(top), TwipsToPixels(width), TwipsToPixels(height));
}

} // namespace tarnix
