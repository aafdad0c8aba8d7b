#pragma once

#include "listing/ListingSource.h"

#include <QIODevice>
#include <QString>
#include <functional>
#include <string>

namespace quillon {

/// The machine-readable listing formats.
enum class ListingFormat { None, Csv, Json, WebPage };

/// Csv for a file name ending in ".csv", Json for ".json" (case ignored), else None (a web
/// page is asked for by its format, never by a name).
ListingFormat ListingFormatForPath(const QString& path);

/// Writes a listing to a device: begin once, one write per entry, then finish. Output is
/// buffered and handed to the device in large pieces, so memory stays the same for any number
/// of entries.
class ListingWriter {
public:
    explicit ListingWriter(QIODevice& out) : m_out(out) {}
    virtual ~ListingWriter() = default;
    ListingWriter(const ListingWriter&) = delete;
    ListingWriter& operator=(const ListingWriter&) = delete;

    virtual void begin(const ListingHeader& header) = 0;
    virtual void write(const ListingEntry& entry) = 0;
    /// Ends the document and hands out what is buffered; false when the device failed.
    virtual bool finish() = 0;

protected:
    /// Passes the buffer on once it is large; remembers a failed write.
    void spill(bool force = false);

    QIODevice& m_out;
    std::string m_buffer;
    bool m_failed = false;
};

/// RFC 4180: UTF-8, CR LF line ends, one header row, fields quoted when they hold a comma,
/// a quote, CR or LF.
class CsvListingWriter : public ListingWriter {
public:
    using ListingWriter::ListingWriter;
    void begin(const ListingHeader& header) override;
    void write(const ListingEntry& entry) override;
    bool finish() override;

private:
    void field(std::string_view text, bool first = false);
    ListingColumns m_columns;
    bool m_allocated = false; ///< the allocated column is written
    bool m_totals = false;    ///< the totalSize and fileCount columns are written
};

/// One JSON document: format and version, the job, the time of the scan, then the entries.
class JsonListingWriter : public ListingWriter {
public:
    using ListingWriter::ListingWriter;
    void begin(const ListingHeader& header) override;
    void write(const ListingEntry& entry) override;
    bool finish() override;

private:
    const std::string& quotedTime(std::int64_t seconds, int utcOffset);

    ListingColumns m_columns;
    bool m_first = true;
    /// The last time written, and its text.
    std::int64_t m_lastSeconds = 0;
    int m_lastOffset = 0;
    std::string m_lastTime;
};

/// Appends a CSV field (a comma before it unless first), quoted when it holds a comma, a quote,
/// CR or LF; invalid UTF-8 bytes become U+FFFD.
void AppendCsvField(std::string& out, std::string_view text, bool first = false);

/// Appends text as a JSON string (quotes included); invalid UTF-8 bytes become U+FFFD.
void AppendJsonString(std::string& out, std::string_view text);

/// Copies every entry of source into a new writer of format on out. progress is called after
/// each entry with the count so far and may return false to stop (the listing is then
/// finished with what was written). False with *error set when reading or writing failed.
bool WriteListing(ListingSource& source, ListingFormat format, QIODevice& out, QString* error,
                  const std::function<bool(std::size_t)>& progress = {});

/// The same into the file at path, which is replaced only once the listing is complete: one
/// that progress stopped is not saved (the reason given is "stopped").
bool SaveListing(ListingSource& source, ListingFormat format, const QString& path, QString* error,
                 const std::function<bool(std::size_t)>& progress = {});

} // namespace quillon
