#pragma once

class QWidget;

namespace quillon {

/// Places window in the middle of its screen's work area (the screen less panels and docks),
/// lifted by 1000 twips, but never above the work area's top. Does nothing without a screen.
void CentreWindow(QWidget* window);

} // namespace quillon
