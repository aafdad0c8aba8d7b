#include "listing/ListingWriter.h"
#include "listing/WebPageWriter.h"

#include "output/SaveFormat.h"
#include "platform/CheckedSave.h"

#include <QSaveFile>

namespace quillon {

namespace {

constexpr std::size_t kSpillSize = 1 << 16;

} // namespace

ListingFormat ListingFormatForPath(const QString& path)
{
    switch (OutputKindForPath(path, kListingOutputs)) {
    case OutputKind::Csv:
        return ListingFormat::Csv;
    case OutputKind::Json:
        return ListingFormat::Json;
    default:
        return ListingFormat::None;
    }
}

void ListingWriter::spill(bool force)
{
    if (m_buffer.size() < kSpillSize && !force)
        return;
    if (!m_failed && !m_buffer.empty() &&
        m_out.write(m_buffer.data(), static_cast<qint64>(m_buffer.size())) !=
            static_cast<qint64>(m_buffer.size()))
        m_failed = true;
    m_buffer.clear();
}

bool WriteListing(ListingSource& source, ListingFormat format, QIODevice& out, QString* error,
                  const std::function<bool(std::size_t)>& progress)
{
    std::unique_ptr<ListingWriter> writer;
    if (format == ListingFormat::Csv)
        writer = std::make_unique<CsvListingWriter>(out);
    else if (format == ListingFormat::Json)
        writer = std::make_unique<JsonListingWriter>(out);
    else if (format == ListingFormat::WebPage)
        writer = std::make_unique<WebPageWriter>(out);
    if (!writer) {
        *error = QStringLiteral("the output name ends in neither \".csv\" nor \".json\"");
        return false;
    }
    writer->begin(source.header());
    ListingEntry entry;
    std::size_t count = 0;
    while (source.next(entry)) {
        writer->write(entry);
        if (progress && !progress(++count))
            break;
    }
    const bool written = writer->finish();
    if (!source.error().isEmpty()) {
        *error = source.error();
        return false;
    }
    if (!written) {
        *error = out.errorString();
        return false;
    }
    return true;
}

bool SaveListing(ListingSource& source, ListingFormat format, const QString& path, QString* error,
                 const std::function<bool(std::size_t)>& progress)
{
    QString reason;
    bool stopped = false;
    const bool saved = SaveChecked(
        path,
        [&](QSaveFile& file, QString* why) {
            const bool written = WriteListing(source, format, file, why, [&](std::size_t count) {
                stopped = progress && !progress(count);
                return !stopped;
            });
            if (stopped)
                *why = QStringLiteral("stopped");
            return written && !stopped;
        },
        &reason);
    if (!saved)
        *error = QStringLiteral("cannot write %1: %2").arg(path, reason);
    return saved;
}

} // namespace quillon
