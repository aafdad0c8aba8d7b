#include "report/WriteDetails.h"

#include "details/SizeText.h"
#include "platform/CommandError.h"
#include "platform/CommandSteps.h"
#include "platform/PathRules.h"
#include "platform/Utf8.h"
#include "report/DetailColumns.h"
#include "report/RtfFraming.h"
#include "report/StagingFile.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace quillon {

namespace {

constexpr std::size_t kSizeColumn = 12;
constexpr std::size_t kVersionColumn = 10;
constexpr std::size_t kOwnerCut = 15;
constexpr std::size_t kOwnerColumn = 17;
constexpr std::size_t kChecksumColumn = 10;
constexpr std::uint32_t kProgressEvery = 5;
const std::string kBlankDate(12, ' '); // "  dd/mm/yyyy"
const std::string kBlankTime(9, ' ');  // " hh:mm:ss"

void AppendTwoDigits(std::string& out, int value)
{
    out.push_back(static_cast<char>('0' + value / 10 % 10));
    out.push_back(static_cast<char>('0' + value % 10));
}

// The first punctuation sign of a locale's short format, e.g. "." for "dd.MM.yy".
char SeparatorOf(const QString& format, char fallback)
{
    for (const QChar c : format) {
        if (c.isLetterOrNumber() || c == u'\'' || c.isSpace())
            continue;
        return c.unicode() < 0x80 ? static_cast<char>(c.unicode()) : fallback;
    }
    return fallback;
}

// Cut to at most width characters, then padded with blanks to width.
void AppendFixed(std::string& out, std::string_view text, std::size_t cut, std::size_t width)
{
    const std::string_view kept = Utf8Left(text, cut);
    out.append(kept);
    const std::size_t length = Utf8Length(kept);
    if (length < width)
        out.append(width - length, ' ');
}

std::string_view TrimBlanks(std::string_view text)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

void AppendQString(std::string& out, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    out.append(utf8.constData(), static_cast<std::size_t>(utf8.size()));
}

} // namespace

bool StatForLine(const FileAt& file, struct stat& st)
{
    if (!StatNoFollow(file, st))
        return false;
    if (S_ISLNK(st.st_mode)) {
        struct stat target;
        if (::fstatat(file.folder, file.name, &target, 0) == 0)
            st = target;
    }
    return true;
}

bool ChangedLocalTime(std::int64_t seconds, std::tm& local)
{
    const auto when = static_cast<time_t>(seconds);
    if (!::localtime_r(&when, &local))
        return false;
    const long long year = static_cast<long long>(local.tm_year) + 1900;
    return year >= 1 && year <= 9999;
}

int DetailsLineWidth(const ReportSettings& s)
{
    int width = s.columnSize() + 2;
    for (const DetailColumnRow& row : kDetailColumns)
        if (s.Fields[row.column])
            width += row.allowance;
    return width;
}

std::string DetailsNameColumn(std::string_view name, int columnSize)
{
    std::string column;
    AppendDetailsNameColumn(column, name, columnSize);
    return column;
}

void AppendDetailsNameColumn(std::string& out, std::string_view name, int columnSize)
{
    const auto width = static_cast<std::size_t>(std::max(columnSize, 0));
    const std::size_t start = out.size();
    if (Utf8Length(name) > width) {
        const std::size_t keep = width >= 3 ? width - 3 : 0;
        out.append(TrimBlanks(Utf8Left(name, keep)));
        out.append("...");
    } else {
        out.append(name);
    }
    const std::size_t length = Utf8Length(std::string_view(out).substr(start));
    if (length < width)
        out.append(width - length, ' ');
}

std::string DetailsTitle(std::string_view title, int lineWidth)
{
    // Counting stops after lineWidth characters: a deep folder's path is not read to its end.
    if (lineWidth < 3 ||
        Utf8Left(title, static_cast<std::size_t>(lineWidth)).size() == title.size())
        return std::string(title);
    std::string cut(Utf8Left(title, static_cast<std::size_t>(lineWidth - 3)));
    cut.append("...");
    return cut;
}

DetailsBlockWriter::DetailsBlockWriter(LayoutContext& context, ReportStagingFile& file,
                                       ScanCounters& counters)
    : m_context(context), m_file(file), m_counters(counters), m_settings(context.settings),
      m_sortBy(DetailsSortByText(context.sort.key)),
      m_lineWidth(DetailsLineWidth(context.settings)), m_columnSize(context.settings.columnSize()),
      m_recordCount(context.records ? context.records->lastIndex() : 0),
      m_lineColumns(LineColumnsOf(context.settings))
{
    m_dateSeparator = SeparatorOf(m_locale.dateFormat(QLocale::ShortFormat), '/');
    m_timeSeparator = SeparatorOf(m_locale.timeFormat(QLocale::ShortFormat), ':');
    m_choice = DetailChoiceOf(m_settings);
    m_choice.hiddenLikeAny = m_settings.IncludeHidden;
    // A long checksum looks at Cancel (and lets the window breathe) between its blocks.
    m_reader.crc().SetInterrupt([this] {
        m_context.progress.Yield();
        return cancelled();
    });
}

bool DetailsBlockWriter::WriteDetails(std::string_view folder,
                                      const std::vector<DetailsSortKey>& sortList,
                                      const FolderNode* node)
{
    CommandSteps steps(QStringLiteral("Write Details"), m_context.decide, [this] {
        if (m_context.cancel)
            *m_context.cancel = true;
    });
    return RunCommand(steps, [&] {
        writeHead(folder, steps);
        const std::string folderPath = WithTrailingSlash(folder);
        std::uint32_t fileCount = 0;
        double sizeTotal = 0;
        std::string path;
        std::string name;
        std::string line;
        std::string text;
        const bool stored = static_cast<bool>(m_context.recordDetails);
        if (!stored)
            m_folders.moveTo(folderPath);
        for (const DetailsSortKey& key : sortList) {
            m_context.progress.Yield();
            if (cancelled())
                break;
            path.assign(folderPath).append(key.name);
            name.assign(key.name);
            const FileAt file = stored ? FileAt() : m_folders.at(name, path);
            // The time was read with the key, a moment ago.
            std::tm changed{};
            const bool timeKnown = ChangedLocalTime(key.changed, changed);

            ++fileCount;
            if (!key.repeatLink)
                sizeTotal += static_cast<double>(key.size);
            ++m_counters.files;

            steps.step(4, [&] { buildLine(key, file, path, timeKnown, changed, line); });
            steps.step(5, [&] {
                text.clear();
                AppendRtfSafeText(text, line, m_settings);
                text.append(" \\par");
                m_file.writeLine(text);
            });
            showProgress();
        }
        writeFoot(fileCount, sizeTotal, node, steps);
    });
}

void DetailsBlockWriter::writeHead(std::string_view folder, CommandSteps& steps)
{
    const ReportSettings& s = m_settings;
    const std::string dashes = DashLine(m_lineWidth);
    if (s.IncludeSeparator)
        steps.step(1, [&] { m_file.writeLine(dashes); });
    std::string_view shown = s.FullPath ? folder : LastComponent(folder);
    // The title keeps at most lineWidth characters of four bytes at most: the rest of a deep
    // path would only be copied to be cut.
    shown = shown.substr(0, 4 * static_cast<std::size_t>(std::max(m_lineWidth, 0)) + 64);
    const std::string title = DetailsTitle(
        s.IncludeFolderTitle ? "Directory of " + std::string(shown) : std::string(shown),
        m_lineWidth);
    steps.step(2, [&] { m_file.writeLine("\\b\\par " + RtfSafeText(title, s) + " \\par\\b0"); });
    steps.step(3, [&] {
        m_file.writeLine(s.IncludeSeparator ? dashes + "\\par\\par" : std::string(" \\par"));
    });
}

void DetailsBlockWriter::writeFoot(std::uint32_t fileCount, double sizeTotal,
                                   const FolderNode* node, CommandSteps& steps)
{
    const ReportSettings& s = m_settings;
    if (!s.IncludeFolderSum) {
        steps.step(10, [&] { m_file.writeLine(std::string_view(" \\par")); });
        return;
    }
    const std::string dashes = DashLine(m_lineWidth);
    if (s.IncludeSeparator)
        steps.step(6, [&] { m_file.writeLine("\\par " + dashes); });
    steps.step(7, [&] {
        m_file.writeLine(QStringLiteral("\\par %1 file(s) found \\par ").arg(fileCount));
    });
    steps.step(8, [&] {
        m_file.writeLine(QStringLiteral("Total file size ") + FormatSize(sizeTotal, m_locale) +
                         QStringLiteral(" \\par "));
    });
    if (s.FolderTotals && node)
        steps.step(8, [&] {
            m_file.writeLine(QStringLiteral("Total with sub-folders ") +
                             FormatSize(static_cast<double>(node->totalSize), m_locale) +
                             QStringLiteral(" in %1 file(s) \\par ").arg(node->totalFiles));
        });
    if (s.IncludeSeparator)
        steps.step(9, [&] { m_file.writeLine(dashes + " \\par\\par"); });
}

void DetailsBlockWriter::buildLine(const DetailsSortKey& key, const FileAt& file,
                                   const std::string& path, bool timeKnown, const std::tm& changed,
                                   std::string& line)
{
    // A file whose status cannot be read keeps its name; every other value is blank.
    const bool known = key.statError == 0;
    line.clear();
    bool detailsRead = false;
    for (const DetailColumn column : m_lineColumns) {
        const DetailColumnRow& row = DetailColumnOf(column);
        if (row.choice && !detailsRead) {
            // One status read and at most one open for all the detail columns of the line.
            if (m_context.recordDetails && known && m_choice.any())
                m_context.recordDetails(key.record, m_details);
            else if (!(known && m_choice.any() && readDetails(file, path)))
                m_details = FileDetails();
            detailsRead = true;
        }
        switch (column) {
        case DetailColumn::Filename:
            AppendDetailsNameColumn(line, key.name, m_columnSize);
            break;
        case DetailColumn::Size:
            appendSize(key, known, line);
            break;
        case DetailColumn::Date:
            appendDate(key, known && timeKnown, known, changed, line);
            break;
        case DetailColumn::Time:
            appendTime(known && timeKnown, changed, line);
            break;
        default:
            appendDetail(column, row, line);
            break;
        }
    }
}

// A column of the file's details (read into m_details for the line).
void DetailsBlockWriter::appendDetail(DetailColumn column, const DetailColumnRow& row,
                                      std::string& line) const
{
    switch (column) {
    case DetailColumn::Attribute:
        line.append("  ").append(DetailText(row, m_details));
        break;
    case DetailColumn::Version:
        line.append("  ");
        AppendFixed(line, DetailText(row, m_details), kVersionColumn, kVersionColumn);
        break;
    case DetailColumn::Title:
    case DetailColumn::Artist:
    case DetailColumn::Album:
    case DetailColumn::Year:
    case DetailColumn::Genre:
    case DetailColumn::Comment:
        line.append("   ");
        line.append(m_settings.RemoveBlankSpaces ? TrimBlanks(DetailText(row, m_details))
                                                 : DetailText(row, m_details));
        break;
    case DetailColumn::Owner:
        line.append("  ");
        AppendFixed(line, DetailText(row, m_details), kOwnerCut, kOwnerColumn);
        break;
    case DetailColumn::CRC32:
        // Skipped (a link, a pipe, a hidden name), cancelled or unreadable: no checksum text.
        if (m_details.crcState == CrcState::Known)
            AppendFixed(line, "  " + CrcCtrl::HexText(m_details.crc), kChecksumColumn,
                        kChecksumColumn);
        break;
    case DetailColumn::Filename: // the name, size, date and time columns are the line's own
    case DetailColumn::Size:
    case DetailColumn::Date:
    case DetailColumn::Time:
        break;
    }
}

void DetailsBlockWriter::appendSize(const DetailsSortKey& key, bool known, std::string& line)
{
    // Most sizes: whole kilobytes in ASCII, where characters are bytes and none is blank.
    m_size.clear();
    if (AppendWholeKilobytes(m_size, static_cast<double>(key.size), m_settings.ShowSizeIn,
                             m_locale)) {
        if (m_size.size() < kSizeColumn)
            line.append(kSizeColumn - m_size.size(), ' ');
        if (known)
            line.append(m_size);
        else
            line.append(m_size.size(), ' ');
        return;
    }
    const QString size =
        FormatSizeFixed(static_cast<double>(key.size), m_settings.ShowSizeIn, m_locale);
    const auto length = static_cast<std::size_t>(size.trimmed().size());
    if (length < kSizeColumn)
        line.append(kSizeColumn - length, ' ');
    if (known)
        AppendQString(line, size);
    else
        line.append(static_cast<std::size_t>(size.size()), ' ');
}

void DetailsBlockWriter::appendDate(const DetailsSortKey& key, bool timeKnown, bool known,
                                    const std::tm& changed, std::string& line) const
{
    if (!known) {
        line.append(kBlankDate);
    } else if (m_sortBy == DetailsSortBy::Date && key.day.size() == 8) {
        // The day of the sort key, always with "/".
        line.append("  ").append(key.day, 6, 2).append("/").append(key.day, 4, 2);
        line.append("/").append(key.day, 0, 4);
    } else if (m_sortBy != DetailsSortBy::Date && timeKnown) {
        line.append("  ");
        AppendTwoDigits(line, changed.tm_mday);
        line.push_back(m_dateSeparator);
        AppendTwoDigits(line, changed.tm_mon + 1);
        line.push_back(m_dateSeparator);
        // ChangedLocalTime keeps years 1 to 9999: four digits.
        const int year = changed.tm_year + 1900;
        AppendTwoDigits(line, year / 100);
        AppendTwoDigits(line, year % 100);
    } else {
        line.append(kBlankDate);
    }
}

void DetailsBlockWriter::appendTime(bool timeKnown, const std::tm& changed, std::string& line) const
{
    if (!timeKnown) {
        line.append(kBlankTime);
        return;
    }
    line.push_back(' ');
    AppendTwoDigits(line, changed.tm_hour);
    line.push_back(m_timeSeparator);
    AppendTwoDigits(line, changed.tm_min);
    line.push_back(m_timeSeparator);
    AppendTwoDigits(line, changed.tm_sec);
}

bool DetailsBlockWriter::readDetails(const FileAt& file, const std::string& path)
{
    struct stat st;
    if (const int error = ReadStatus(file, st); error != 0) {
        if (error != ENOENT) // gone since its key was made: nothing to tell
            tellUnreadable(path, error, 0);
        return false;
    }
    m_reader.Read(file, st, m_choice, path, m_details,
                  [&](unsigned details, int error) { tellUnreadable(path, error, details); });
    return true;
}

void DetailsBlockWriter::tellUnreadable(const std::string& path, int error, unsigned details)
{
    if (!m_context.unreadableDetail && (details & kCrcDetail))
        throw CommandError::fromErrno(error,
                                      QStringLiteral("Reading ") + QString::fromStdString(path));
    const auto& tell =
        m_context.unreadableDetail ? m_context.unreadableDetail : m_context.unreadableNote;
    if (tell)
        tell(path, QString::fromLocal8Bit(UnreadableReason(error, details).c_str()));
}

void DetailsBlockWriter::showProgress()
{
    // The text is not made where nobody shows it (batch mode without a terminal).
    if (m_counters.files % kProgressEvery != 0 || m_recordCount == 0 || !m_context.progress.status)
        return;
    const quint32 files = m_counters.files;
    const double percent = 100.0 / static_cast<double>(m_recordCount) * files;
    m_context.progress.Status(QStringLiteral("Formatting list, please wait...(%1/%2) %3%")
                                  .arg(files)
                                  .arg(m_recordCount)
                                  .arg(m_locale.toString(percent, 'f', 1)));
}

} // namespace quillon
