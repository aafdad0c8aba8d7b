#include "app/JobFile.h"

#include "platform/BoundedRead.h"
#include "platform/CheckedSave.h"
#include "platform/Utf8Text.h"

#include <QFile>
#include <QSaveFile>
#include <QStringList>

namespace quillon {

namespace {

QString TypeText(ReportType type)
{
    switch (type) {
    case ReportType::TreeView:
        return QStringLiteral("Option2");
    case ReportType::TreeViewWithSize:
        return QStringLiteral("Option3");
    case ReportType::FolderList:
        return QStringLiteral("Option4");
    case ReportType::None: // one option is always selected in the window; the first at start
    case ReportType::ListInDetails:
        break;
    }
    return QStringLiteral("Option1");
}

std::optional<ReportType> TypeFromText(const QString& text)
{
    if (text == QLatin1String("Option1"))
        return ReportType::ListInDetails;
    if (text == QLatin1String("Option2"))
        return ReportType::TreeView;
    if (text == QLatin1String("Option3"))
        return ReportType::TreeViewWithSize;
    if (text == QLatin1String("Option4"))
        return ReportType::FolderList;
    return std::nullopt;
}

bool HoldsLineBreak(const ScanLocation& location)
{
    for (const QString* text :
         {&location.path, &location.subFolders, &location.filter, &location.level}) {
        if (text->contains(QLatin1Char('\n')) || text->contains(QLatin1Char('\r')) ||
            text->contains(QChar(0)))
            return true;
    }
    return false;
}

} // namespace

QByteArray JobFileText(const Job& job)
{
    QStringList lines = {TypeText(job.type), job.sortKey,
                         job.ascending ? QStringLiteral("Asc") : QStringLiteral("Desc"),
                         job.fontName, job.fontSize};
    QStringList locations;
    for (const ScanLocation& location : job.locations) {
        if (HoldsLineBreak(location))
            continue;
        locations += QStringList{location.path, location.subFolders, location.filter,
                                 location.level, QString::number(location.icon)}
                         .join(QLatin1Char(','));
    }
    // Lines 1-5 each end in CR LF, the locations are joined by CR LF, and one more CR LF
    // ends the file: without locations that leaves an empty sixth line.
    lines += locations.join(QStringLiteral("\r\n"));
    return lines.join(QStringLiteral("\r\n")).toUtf8() + "\r\n";
}

std::optional<ScanLocation> ParseLocationLine(const QString& line)
{
    // The walk would stop at a NUL that the folder titles then show past; a carriage return
    // inside the line could never be written back. Refuse both.
    if (line.contains(QChar(0)) || line.contains(QLatin1Char('\r')))
        return std::nullopt;
    const QStringList fields = line.split(QLatin1Char(','));
    const qsizetype n = fields.size();
    if (n < 5)
        return std::nullopt;
    ScanLocation location;
    location.path = fields.mid(0, n - 4).join(QLatin1Char(','));
    location.subFolders = fields[n - 4];
    location.filter = fields[n - 3];
    location.level = fields[n - 2];
    bool isNumber = false;
    const int icon = fields[n - 1].trimmed().toInt(&isNumber);
    location.setExcluded(isNumber && icon == ScanLocation::kExcludedIcon);
    return location;
}

void ParseJobText(QByteArrayView text, Job& job)
{
    job.locations.clear();
    int number = 0;
    qsizetype start = 0;
    // Editors on other systems may put a byte order mark before "Option1".
    if (text.startsWith("\xEF\xBB\xBF"))
        start = 3;
    while (start < text.size()) {
        qsizetype end = text.indexOf('\n', start);
        if (end < 0)
            end = text.size();
        QByteArrayView raw = text.sliced(start, end - start);
        start = end + 1;
        if (raw.endsWith('\r'))
            raw.chop(1);
        const QString line = Utf8Text(raw);
        switch (++number) {
        case 1:
            if (const auto type = TypeFromText(line))
                job.type = *type;
            break;
        case 2:
            job.sortKey = line;
            break;
        case 3:
            job.ascending = line == QLatin1String("Asc");
            break;
        case 4:
            job.fontName = line;
            break;
        case 5:
            job.fontSize = line;
            break;
        default:
            if (auto location = ParseLocationLine(line))
                job.locations.push_back(std::move(*location));
        }
    }
}

bool ReadJobFile(const QString& path, Job& job, QString* error)
{
    // A job file is a few lines: a device, a FIFO or anything huge is not one, and must
    // neither block nor fill the memory.
    SmallFileError kind = SmallFileError::None;
    QString reason;
    const std::optional<QByteArray> text = ReadSmallFile(path, kJobFileLimit, &kind, &reason);
    if (!text) {
        if (error) {
            if (kind == SmallFileError::TooLarge)
                *error = QStringLiteral("%1 is too large to be a job file").arg(path);
            else if (kind == SmallFileError::NotRegular)
                *error = QStringLiteral("%1 is not a job file: %2").arg(path, reason);
            else
                *error = QStringLiteral("Cannot open the job file %1: %2").arg(path, reason);
        }
        return false;
    }
    ParseJobText(*text, job);
    return true;
}

bool WriteJobFile(const QString& path, const Job& job, QString* error)
{
    const QByteArray text = JobFileText(job);
    QString reason;
    if (SaveChecked(
            path, [&](QSaveFile& file, QString*) { return file.write(text) == text.size(); },
            &reason))
        return true;
    if (error)
        *error = QStringLiteral("Cannot write the job file %1: %2").arg(path, reason);
    return false;
}

} // namespace quillon
