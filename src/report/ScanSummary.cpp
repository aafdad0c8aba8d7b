#include "report/ScanSummary.h"

#include "details/CrcCtrl.h"
#include "details/SizeText.h"
#include "platform/SettingsStore.h"

#include <QLocale>
#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <utility>

namespace quillon {

namespace {

const QString kSection = QStringLiteral("Summaries");

bool ReadSwitch(const SettingsStore& store, const char* key, bool fallback)
{
    const int value = store.intValue(kSection, QLatin1String(key), -1);
    return value == 0 || value == 1 ? value == 1 : fallback;
}

// The extension a type total counts a name under: after the last dot, lower case; a name
// that only begins with a dot (".profile") or ends in one has none.
std::string ExtensionOf(const std::string& name)
{
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == name.size())
        return {};
    std::string extension = name.substr(dot + 1);
    for (char& c : extension) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return extension;
}

// The totals by extension.
void AddTypeTotals(const RecordList& records, const SummaryHooks& hooks, ScanSummary& summary)
{
    const std::size_t n = records.lastIndex();
    std::vector<TypeTotal> totals;
    std::vector<std::pair<std::string, std::size_t>> index; // extension, place in totals
    for (std::size_t k = 1; k <= n; ++k) {
        if (hooks.yield && k % 4096 == 0)
            hooks.yield();
        const ScanRecord& r = records[k];
        if (!r.isFile() || r.repeatLink)
            continue;
        std::string extension = ExtensionOf(r.name);
        auto at = std::lower_bound(index.begin(), index.end(), extension,
                                   [](const auto& e, const std::string& x) { return e.first < x; });
        if (at == index.end() || at->first != extension) {
            at = index.insert(at, {extension, totals.size()});
            totals.push_back({std::move(extension), 0, 0});
        }
        TypeTotal& total = totals[at->second];
        ++total.files;
        total.bytes += r.size;
        summary.totalBytes += r.size;
    }
    std::sort(totals.begin(), totals.end(), [](const TypeTotal& a, const TypeTotal& b) {
        return a.bytes != b.bytes ? a.bytes > b.bytes : a.extension < b.extension;
    });
    summary.types = std::move(totals);
}

} // namespace

SummarySettings LoadSummarySettings(const SettingsStore& store)
{
    SummarySettings s;
    s.Top = ReadSwitch(store, "Top", s.Top);
    s.Types = ReadSwitch(store, "Types", s.Types);
    s.Duplicates = ReadSwitch(store, "Duplicates", s.Duplicates);
    s.SameBytes = ReadSwitch(store, "SameBytes", s.SameBytes);
    s.Alone = ReadSwitch(store, "Alone", s.Alone);
    const int count = store.intValue(kSection, QStringLiteral("TopCount"), s.TopCount);
    if (count >= 1 && count <= kMaxTopCount)
        s.TopCount = count;
    return s;
}

void SaveSummarySettings(const SummarySettings& s, SettingsStore& store)
{
    const auto write = [&](const char* key, bool on) {
        store.setValue(kSection, QLatin1String(key),
                       on ? QStringLiteral("1") : QStringLiteral("0"));
    };
    write("Top", s.Top);
    write("Types", s.Types);
    write("Duplicates", s.Duplicates);
    store.setValue(kSection, QStringLiteral("TopCount"), QString::number(s.TopCount));
    write("SameBytes", s.SameBytes);
    write("Alone", s.Alone);
}

bool ParseSummaryKinds(const QString& text, SummarySettings& settings)
{
    const QStringList words =
        text.toLower().split(QRegularExpression(QStringLiteral("[, ]+")), Qt::SkipEmptyParts);
    if (words.isEmpty())
        return false;
    for (const QString& word : words) {
        if (word == QLatin1String("top"))
            settings.Top = true;
        else if (word == QLatin1String("types"))
            settings.Types = true;
        else if (word == QLatin1String("duplicates"))
            settings.Duplicates = true;
        else if (word == QLatin1String("all"))
            settings.Top = settings.Types = settings.Duplicates = true;
        else
            return false;
    }
    return true;
}

double ScanSummary::share(const TypeTotal& type) const
{
    return totalBytes > 0
               ? 100.0 * static_cast<double>(type.bytes) / static_cast<double>(totalBytes)
               : 0.0;
}

ScanSummary SummarizeScan(const RecordList& records, const SummarySettings& settings,
                          const SummaryHooks& hooks, DuplicatesAhead* ahead)
{
    ScanSummary summary;
    summary.settings = settings;
    const std::size_t n = records.lastIndex();
    if (settings.Top) {
        // Candidates by index first: paths are built only for the few that stay.
        std::vector<std::size_t> files;
        for (std::size_t k = 1; k <= n; ++k) {
            if (hooks.yield && k % 4096 == 0)
                hooks.yield();
            const ScanRecord& r = records[k];
            if (r.isFile() && !r.repeatLink && r.statError == 0)
                files.push_back(k);
        }
        const auto larger = [&](std::size_t a, std::size_t b) {
            if (records[a].size != records[b].size)
                return records[a].size > records[b].size;
            return records[a].fullPath() < records[b].fullPath();
        };
        const std::size_t count =
            std::min(files.size(), static_cast<std::size_t>(std::max(settings.TopCount, 0)));
        std::partial_sort(files.begin(), files.begin() + static_cast<std::ptrdiff_t>(count),
                          files.end(), larger);
        for (std::size_t i = 0; i < count; ++i)
            summary.top.push_back({records[files[i]].fullPath(), records[files[i]].size});
    }
    if (settings.Types)
        AddTypeTotals(records, hooks, summary);
    if (settings.Duplicates && ahead)
        ahead->finish(summary, hooks);
    else if (settings.Duplicates)
        FindDuplicates(records, hooks, summary, settings.SameBytes);
    return summary;
}

namespace {

using EscapeText = std::function<std::string(std::string_view)>;

std::string LocaleNumber(const QLocale& locale, std::int64_t value)
{
    return locale.toString(static_cast<qlonglong>(value)).toStdString();
}

std::string PadLeft(std::string text, std::size_t width)
{
    return text.size() < width ? std::string(width - text.size(), ' ') + text : text;
}

std::string PadRight(std::string text, std::size_t width)
{
    return text.size() < width ? text + std::string(width - text.size(), ' ') : text;
}

void AppendTopLines(const ScanSummary& summary, const EscapeText& escape, const QLocale& locale,
                    std::vector<std::string>& lines)
{
    // Built in place: GCC 12 at -O3 warns falsely (array-bounds) on moving a temporary here.
    lines.emplace_back("\\par Largest files: \\par ");
    for (const SummaryFile& file : summary.top)
        lines.push_back(PadLeft(LocaleNumber(locale, file.size), 18) + "  " + escape(file.path) +
                        " \\par ");
    if (summary.top.empty())
        lines.emplace_back("  (no files) \\par ");
}

void AppendTypeLines(const ScanSummary& summary, const EscapeText& escape, const QLocale& locale,
                     std::vector<std::string>& lines)
{
    lines.push_back("\\par Totals by type: \\par ");
    lines.push_back("  " + PadRight("Type", 16) + PadLeft("Files", 12) + PadLeft("Bytes", 20) +
                    PadLeft("Share", 9) + " \\par ");
    std::uint64_t files = 0;
    for (const TypeTotal& type : summary.types) {
        const std::string name = type.extension.empty()
                                     ? std::string("(none)")
                                     : std::string(".").append(escape(type.extension));
        lines.push_back(
            "  " + PadRight(name, 16) +
            PadLeft(LocaleNumber(locale, static_cast<std::int64_t>(type.files)), 12) +
            PadLeft(LocaleNumber(locale, type.bytes), 20) +
            PadLeft(locale.toString(summary.share(type), 'f', 1).toStdString() + "%", 9) +
            " \\par ");
        files += type.files;
    }
    lines.push_back("  " + PadRight("All", 16) +
                    PadLeft(LocaleNumber(locale, static_cast<std::int64_t>(files)), 12) +
                    PadLeft(LocaleNumber(locale, summary.totalBytes), 20) + " \\par ");
}

void AppendDuplicateLines(const ScanSummary& summary, const EscapeText& escape,
                          const QLocale& locale, std::vector<std::string>& lines)
{
    const auto number = [&](std::int64_t value) { return LocaleNumber(locale, value); };
    lines.push_back(summary.settings.SameBytes
                        ? "\\par Duplicates (equal size, CRC32 and bytes): \\par "
                        : "\\par Duplicates (equal size and CRC32): \\par ");
    std::int64_t wasted = 0;
    for (const DuplicateGroup& group : summary.duplicates) {
        wasted += group.wasted();
        lines.push_back("  " + number(static_cast<std::int64_t>(group.paths.size())) +
                        " files of " + number(group.size) + " bytes, CRC32 " +
                        CrcCtrl::HexText(group.crc) + ", " + number(group.wasted()) +
                        " bytes wasted \\par ");
        for (const std::string& path : group.paths)
            lines.push_back("      " + escape(path) + " \\par ");
    }
    lines.push_back("  " + number(static_cast<std::int64_t>(summary.duplicates.size())) +
                    " group(s), " + FormatSize(static_cast<double>(wasted), locale).toStdString() +
                    " wasted \\par ");
    if (!summary.unreadable.empty()) {
        lines.push_back("  " + number(static_cast<std::int64_t>(summary.unreadable.size())) +
                        " file(s) could not be read and are not counted as duplicates: \\par ");
        for (const std::string& path : summary.unreadable)
            lines.push_back("      " + escape(path) + " \\par ");
    }
    if (summary.stopped)
        lines.push_back("  Stopped before every file was compared. \\par ");
}

} // namespace

std::vector<std::string>
SummaryReportLines(const ScanSummary& summary,
                   const std::function<std::string(std::string_view)>& escape)
{
    const QLocale locale;
    std::vector<std::string> lines;
    if (summary.settings.Top)
        AppendTopLines(summary, escape, locale, lines);
    if (summary.settings.Types)
        AppendTypeLines(summary, escape, locale, lines);
    if (summary.settings.Duplicates)
        AppendDuplicateLines(summary, escape, locale, lines);
    return lines;
}

} // namespace quillon
