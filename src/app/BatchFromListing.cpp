#include "app/BatchFromListing.h"

#include "listing/JsonListingReader.h"
#include "listing/ListingComparison.h"
#include "listing/ListingRecords.h"
#include "platform/CheckedSave.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <algorithm>
#include <memory>
#include <vector>

namespace quillon {

namespace {

struct OpenListing {
    std::unique_ptr<QFile> file = std::make_unique<QFile>();
    std::unique_ptr<JsonListingReader> reader;
};

bool Open(const QString& path, OpenListing& listing, QString* error)
{
    if (!OpenListingFile(QFile::encodeName(path), *listing.file, error))
        return false;
    listing.reader = std::make_unique<JsonListingReader>(*listing.file, path);
    if (!listing.reader->open()) {
        *error = listing.reader->error();
        return false;
    }
    return true;
}

} // namespace

bool ReadListingFiles(const QStringList& paths, ListingRecords& records, QString* error,
                      const std::function<bool()>& keepGoing)
{
    // A listing entry takes at least about 100 bytes; the bound keeps a huge file from
    // asking for more address space than any machine has.
    qint64 bytes = 0;
    for (const QString& path : paths)
        bytes += QFileInfo(path).size();
    records.reserve(static_cast<std::size_t>(std::min<qint64>(bytes / 100, qint64(1) << 25)));
    // One listing open at a time: the records hold what the report needs of each.
    for (const QString& path : paths) {
        OpenListing listing;
        if (!Open(path, listing, error))
            return false;
        if (!records.add(*listing.reader, path, keepGoing)) {
            *error = records.error();
            return false;
        }
    }
    records.finish();
    return true;
}

bool MergeListingFiles(const QStringList& paths, ListingFormat format, const QString& target,
                       QString* error, const std::function<bool()>& keepGoing,
                       const std::function<void(const QString&)>& tell)
{
    // Every header is needed before the first entry is written: all are open at once, each
    // read one entry at a time.
    std::vector<OpenListing> listings(static_cast<std::size_t>(paths.size()));
    std::vector<ListingSource*> sources;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        if (!Open(paths[i], listings[static_cast<std::size_t>(i)], error))
            return false;
        sources.push_back(listings[static_cast<std::size_t>(i)].reader.get());
    }
    bool stopped = false;
    bool writeFailed = true; // else the listings, named in their own messages, failed
    QString reason;
    const bool saved = SaveChecked(
        target,
        [&](QSaveFile& file, QString* why) {
            const bool written =
                MergeListings(sources, paths, format, file, why, tell, [&](std::size_t) {
                    stopped = stopped || (keepGoing && !keepGoing());
                    return !stopped;
                });
            if (stopped)
                *why = QStringLiteral("stopped");
            else if (!written && file.error() == QFileDevice::NoError)
                writeFailed = false;
            return written && !stopped;
        },
        &reason);
    if (!saved)
        *error = writeFailed ? QStringLiteral("cannot write %1: %2").arg(target, reason) : reason;
    return saved;
}

} // namespace quillon
