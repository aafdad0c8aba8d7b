#pragma once

#include <QString>

namespace quillon {

/// Finds the help page index.html: installed beside the program (share/quillon/help), or in
/// docs/help of the source tree the program was built in. Empty when there is none.
/// programFolder is the folder of the running executable.
QString FindHelpPage(const QString& programFolder);

} // namespace quillon
