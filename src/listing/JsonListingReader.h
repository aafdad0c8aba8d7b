#pragma once

#include "listing/ListingSource.h"

#include <QIODevice>
#include <memory>
#include <string>

namespace quillon {

/// Reads a JSON listing as JsonListingWriter writes it, one entry at a time: the document is
/// never held whole, so memory stays the same for any number of entries. Any JSON layout of
/// the same document reads (white space, key order within an entry, escapes); keys it does not
/// know are skipped. Entries placed before the header (another writer's key order) are read
/// in a second pass, which needs a device that can seek.
class JsonListingReader : public ListingSource {
public:
    /// The device must stay open while the reader is used.
    explicit JsonListingReader(QIODevice& in);
    ~JsonListingReader() override;

    /// Reads up to the first entry; false with error() when the file is no listing.
    bool open();

    const ListingHeader& header() const override { return m_header; }
    bool next(ListingEntry& entry) override;
    QString error() const override { return m_error; }

private:
    class Tokens;
    bool fail(const QString& why);
    bool readHeaderValue(const std::string& key);
    bool readEntry(ListingEntry& entry);
    bool finishDocument();

    std::unique_ptr<Tokens> m_tokens;
    ListingHeader m_header;
    QString m_error;
    bool m_sawFormat = false;
    bool m_inEntries = false;
    bool m_firstEntry = true;
    bool m_done = false;
};

} // namespace quillon
