#pragma once

#include <QtGlobal>

namespace quillon {

/// Lengths of the window layout are kept in twips: 1440 to the inch at the screen's resolution.
inline constexpr double kTwipsPerInch = 1440.0;

/// Twips to whole pixels at dpi dots per inch (rounded).
inline int TwipsToPixels(double twips, double dpi)
{
    return qRound(twips * dpi / kTwipsPerInch);
}

/// Pixels to twips at dpi dots per inch (rounded).
inline int PixelsToTwips(int pixels, double dpi)
{
    return qRound(pixels * kTwipsPerInch / dpi);
}

} // namespace quillon
