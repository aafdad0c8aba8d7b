#include "scan/ExclusionList.h"

#include "platform/BoundedRead.h"
#include "platform/CheckedSave.h"
#include "platform/Utf8Text.h"

#include <QBuffer>
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
    QBuffer file(&*bytes);
    file.open(QIODevice::ReadOnly);

    QStringList* section = &list.fileNames;
    QByteArray line;
    bool overlong = false;
    while (!file.atEnd()) {
        // Read in bounded pieces so a huge line never sits in memory whole.
        const QByteArray piece = file.readLine(kLongestEntry + 2);
        if (piece.isEmpty())
            break; // read error: keep what was read
        const bool complete = piece.endsWith('\n') || file.atEnd();
        if (!overlong)
            line += piece;
        if (line.size() > kLongestEntry + 2)
            overlong = true;
        if (!complete)
            continue;

        if (!overlong) {
            if (line.endsWith('\n'))
                line.chop(1);
            if (line.endsWith('\r'))
                line.chop(1);
            if (line == kFolderMarker)
                section = &list.folders;
            else if (line == kExtensionMarker)
                section = &list.extensions;
            else if (!line.isEmpty() && !line.contains('\0') && !line.contains('\r'))
                section->append(Utf8Text(line));
        }
        line.clear();
        overlong = false;
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
