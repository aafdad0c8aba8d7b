#include "scan/ExclusionList.h"

#include "platform/BoundedRead.h"
#include "platform/CheckedSave.h"
#include "platform/Utf8Text.h"

#include <QSaveFile>
#include <cerrno>

namespace quillon {

namespace {

const QByteArray kFolderMarker = QByteArrayLiteral("<<Folder List Start Here>>");
const QByteArray kExtensionMarker = QByteArrayLiteral("<<Extension List Start Here>>");

// A line longer than this cannot be a file name, a path or an extension the walker would ever
// meet; such lines (binary garbage, a runaway line) are dropped instead of filling the lists.
constexpr qsizetype kLongestEntry = 64 * 1024;

bool IsStorable(const QString& entry)
{
    // An entry that is empty, holds a line break or reads as a marker cannot come back as
    // itself, so it is not written.
    return !entry.isEmpty() && !entry.contains(QLatin1Char('\n')) &&
           !entry.contains(QLatin1Char('\r')) && entry.toUtf8() != kFolderMarker &&
           entry.toUtf8() != kExtensionMarker;
}

} // namespace

ExclusionList LoadExclusionList(const QString& path, QString* error)
{
    ExclusionList list;
    // Only a regular file of bounded size is read: a FIFO or device in its place must neither
    // block the program nor fill the memory.
    SmallFileError kind = SmallFileError::None;
    QString reason;
    std::optional<QByteArray> bytes = ReadSmallFile(path, kExclusionListLimit, &kind, &reason);
    if (!bytes) {
        if (error && kind != SmallFileError::Missing)
            *error = QStringLiteral("cannot read the exclusion list %1: %2").arg(path, reason);
        return list;
    }
    // Lines are cut out of the bytes in place: reading each through a buffer of the longest
    // entry's size made one large allocation per line (14 s for a list of 350,000 names).
    const QByteArrayView text(*bytes);
    QStringList* section = &list.fileNames;
    for (qsizetype start = 0; start < text.size();) {
        qsizetype end = text.indexOf('\n', start);
        if (end < 0)
            end = text.size();
        QByteArrayView line = text.sliced(start, end - start);
        start = end + 1;
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.size() > kLongestEntry)
            continue; // binary garbage or a runaway line, not an entry
        if (line == kFolderMarker)
            section = &list.folders;
        else if (line == kExtensionMarker)
            section = &list.extensions;
        else if (!line.isEmpty() && !line.contains('\0') && !line.contains('\r'))
            section->append(Utf8Text(line));
    }
    return list;
}

bool SaveExclusionList(const ExclusionList& list, const QString& path, QString* error)
{
    QSaveFile file(path);
    if (!OpenForReplace(file, error))
        return false;
    QByteArray text;
    const auto writeLine = [&](const QByteArray& line) {
        text += line;
        text += "\r\n";
    };
    const auto writeEntries = [&](const QStringList& entries) {
        for (const QString& entry : entries)
            if (IsStorable(entry))
                writeLine(entry.toUtf8());
    };
    writeEntries(list.fileNames);
    writeLine(kFolderMarker);
    writeEntries(list.folders);
    writeLine(kExtensionMarker);
    writeEntries(list.extensions);

    errno = 0;
    if (file.write(text) != text.size()) {
        if (error)
            *error = WriteFailureReason(file, errno);
        file.cancelWriting();
        return false;
    }
    return CommitChecked(file, error);
}

} // namespace quillon
