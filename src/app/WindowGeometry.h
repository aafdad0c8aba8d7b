#pragma once

#include <QList>
#include <QRect>

namespace quillon {

class SettingsStore;

/// The window's size and place in twips, as section "WindowSize" keeps them.
struct WindowGeometry {
    double width = 12000; ///< "W"
    double height = 8000; ///< "H"
    double top = 0;       ///< "T"
    double left = 0;      ///< "L"
    /// "Max": the window was closed maximised; the four values above are then the size and
    /// place it comes back to when it is restored.
    bool maximised = false;

    /// The window is never made smaller than this.
    static constexpr double kMinWidth = 9000;
    static constexpr double kMinHeight = 5000;
};

/// Reads "W", "H", "T", "L" and "Max"; a missing value, or one that is not a number, takes its
/// default.
WindowGeometry LoadWindowGeometry(const SettingsStore& store);

/// Writes the four values as whole numbers of twips, and "Max" as "Yes" or "No".
void SaveWindowGeometry(const WindowGeometry& geometry, SettingsStore& store);

/// Where a window of the stored frame rectangle opens, given the screens' available areas:
/// on the first area it overlaps (the first area when it overlaps none, a monitor since
/// removed), no larger than that area and moved inside it, so its bars can always be reached.
/// The rectangle as it stands when there is no area at all.
QRect FitToScreens(const QRect& frame, const QList<QRect>& areas);

} // namespace quillon
