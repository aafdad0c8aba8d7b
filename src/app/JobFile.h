#pragma once

#include "report/ReportType.h"
#include "scan/ScanLocation.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

namespace quillon {

/// What the user sets up before a scan, as a job file keeps it. The exclusion list and the
/// report settings are not part of a job.
struct Job {
    ReportType type = ReportType::ListInDetails;
    QString sortKey = QStringLiteral("Name"); ///< "Name", "Size" or "Date"
    bool ascending = true;                    ///< "Ascending"; false is "Deascending"
    QString fontName = QStringLiteral("Courier New");
    QString fontSize = QStringLiteral("10");
    ScanLocationList locations;

    bool operator==(const Job&) const = default;
};

/// The job file's text: report type, sort key, "Asc"/"Desc", font name and size, then one
/// line "path,Sub Folders,Filter,Level,icon" per location; UTF-8, every line ended by CR LF
/// (a job without locations ends with an empty sixth line). A location whose texts hold a
/// line break or a NUL cannot be written in this format and is left out.
QByteArray JobFileText(const Job& job);

/// Applies a job file's text to job, line by line; CR LF or LF. Lines that cannot be used
/// change nothing: an unknown report type leaves job.type, a location line with fewer than
/// five fields adds no location. The locations are replaced by those of the text.
void ParseJobText(QByteArrayView text, Job& job);

/// One location line. With more than five fields (a path holding ","), the last four are the
/// Sub Folders, Filter, Level and icon and the rest, joined by ",", the path. Nothing for a
/// line of fewer than five fields or holding a NUL or a carriage return. Any icon number but the
/// excluded one means "scan".
std::optional<ScanLocation> ParseLocationLine(const QString& line);

/// Reads the job file at path over job (see ParseJobText). Returns false, with job unchanged
/// and *error set when given, when the file cannot be opened or read, is not a regular file
/// (a device or FIFO is never read) or is larger than kJobFileLimit.
bool ReadJobFile(const QString& path, Job& job, QString* error = nullptr);

/// Writes job to path. The old file is replaced only once the new one is complete; returns
/// false, with *error set when given, when it cannot be written.
bool WriteJobFile(const QString& path, const Job& job, QString* error = nullptr);

} // namespace quillon
