#pragma once

namespace quillon {

class SettingsStore;

/// The window's size and place in twips, as section "WindowSize" keeps them.
struct WindowGeometry {
    double width = 12000; ///< "W"
    double height = 8000; ///< "H"
    double top = 0;       ///< "T"
    double left = 0;      ///< "L"

    /// The window is never made smaller than this.
    static constexpr double kMinWidth = 9000;
    static constexpr double kMinHeight = 5000;
};

/// Reads "W", "H", "T", "L"; a missing value, or one that is not a number, takes its default.
WindowGeometry LoadWindowGeometry(const SettingsStore& store);

/// Writes the four values as whole numbers of twips.
void SaveWindowGeometry(const WindowGeometry& geometry, SettingsStore& store);

} // namespace quillon
