#pragma once

#include "listing/ListingWriter.h"
#include "report/ReportType.h"
#include "scan/ExclusionList.h"
#include "scan/ScanLocation.h"

#include <QString>
#include <functional>
#include <string>

namespace quillon {

class RecordList;
struct BatchRequest;
struct ReportSettings;

/// True for an output name that batch mode writes other than through the report's Save As
/// formats: a listing (".csv", ".json") or a PDF (".pdf").
bool IsListingOutput(const QString& path);
bool IsPdfOutput(const QString& path);

/// Writes the records of a finished scan to path as a listing in format. keepGoing is asked
/// after each entry and between blocks of a checksum; when it says stop, nothing is written and
/// an old file at path stays as it was. Each entry with something that could not be read is
/// told to unreadable (path, reason) and keeps its place in the listing with that value unknown.
bool WriteBatchListing(
    const RecordList& records, const ScanLocationList& locations, ReportType type,
    const ReportSettings& settings, const ExclusionList& exclusions, ListingFormat format,
    const QString& path, QString* error, const std::function<bool()>& keepGoing = {},
    const std::function<void(const std::string& path, const QString& reason)>& unreadable = {});

/// Prints the report in the staging file to a PDF with the stored margins; keepGoing as for
/// WriteBatchListing.
bool WriteBatchPdf(const QString& stagingPath, const QString& path, QString* error,
                   const std::function<bool()>& keepGoing = {});

/// "quillon --compare A B [-o OUT] [--job JOB] [--crc]": exit status 0 when the two sides hold
/// the same, 1 when they differ, 2 on trouble (told on standard error in one line).
int RunBatchCompare(const BatchRequest& request);

} // namespace quillon
