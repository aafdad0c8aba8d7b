#pragma once

#include <QString>

namespace quillon {

// The fixed words that job files, listings, the location list and the settings store hold.

/// A yes-or-no choice (a location's sub-folders, a maximised window).
inline constexpr QLatin1StringView kYes("Yes");
inline constexpr QLatin1StringView kNo("No");

inline QString YesNo(bool yes)
{
    return yes ? QString(kYes) : QString(kNo);
}

/// The level of a location walked to any depth.
inline constexpr QLatin1StringView kAllLevels("All Levels");

} // namespace quillon
