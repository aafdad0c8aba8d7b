#pragma once

#include <QtGlobal>

namespace quillon {

/// The totals a layout fills and the status bar shows after a scan.
struct ScanCounters {
    quint32 files = 0;
    quint32 folders = 0;
    double sizeTotal = 0;
};

} // namespace quillon
