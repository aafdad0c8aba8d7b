#pragma once

#include "report/ScanSummary.h"

#include <QIODevice>
#include <QString>
#include <string>

namespace quillon {

/// The summary as the JSON listing's "summary" member (key included, no comma after):
/// "top", "types" and "duplicates", each only when switched on.
void AppendSummaryJson(std::string& out, const ScanSummary& summary);

/// The summary as one CSV table of its own columns (docs/listing-format.md); false with
/// *error set when out failed.
bool WriteSummaryCsv(const ScanSummary& summary, QIODevice& out, QString* error);

} // namespace quillon
