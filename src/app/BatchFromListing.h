#pragma once

#include "listing/ListingWriter.h"

#include <QString>
#include <QStringList>
#include <functional>

namespace quillon {

class ListingRecords;

/// Reads the JSON listings at paths, in order, into records (each listing one more set of
/// locations). keepGoing is asked before each entry. False with *error (naming the listing and,
/// for a broken one, the byte offset) when one cannot be opened or read to its end.
bool ReadListingFiles(const QStringList& paths, ListingRecords& records, QString* error,
                      const std::function<bool()>& keepGoing = {});

/// Writes the listings at paths merged into one listing in format at target, replaced only
/// once it is complete; a stop (keepGoing false) or a failure leaves an old file as it was.
/// Each column left out for want of it in some listing is told to tell.
bool MergeListingFiles(const QStringList& paths, ListingFormat format, const QString& target,
                       QString* error, const std::function<bool()>& keepGoing = {},
                       const std::function<void(const QString&)>& tell = {});

} // namespace quillon
