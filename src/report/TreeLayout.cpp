#include "report/TreeLayout.h"

#include "details/SizeText.h"
#include "platform/PathRules.h"
#include "platform/Utf8.h"
#include "report/FolderLevel.h"
#include "report/LayoutRun.h"
#include "report/Layouts.h"
#include "report/RtfFraming.h"

#include <QLocale>
#include <algorithm>

namespace quillon {

namespace {

// The size column: right-aligned in this many characters after the padded name part.
constexpr std::size_t kSizeFieldWidth = 12;
// Lines longer than ColSize + 14 characters are cut to ColSize + 11 and "...".
constexpr int kLineAllowance = 14;
constexpr int kCutAllowance = 11;

/// "|-- " after the bars of the enclosing levels, made once per level. A line is cut after
/// `limit` characters however deep its folder lies, so deeper prefixes are kept only as far as
/// that (all the same "|  " bars): a tree thousands of levels deep keeps no prefix per level.
class BranchPrefixes {
public:
    explicit BranchPrefixes(std::size_t limit) : m_limit(limit) {}

    const std::string& operator[](int level)
    {
        const auto index = static_cast<std::size_t>(std::max(level, 1));
        while (m_prefixes.size() <= index && !m_capped) {
            std::string prefix = TreeIndent(static_cast<int>(m_prefixes.size())) + "|-- ";
            if (prefix.size() > m_limit) {
                prefix.resize(m_limit);
                m_capped = true;
            }
            m_prefixes.push_back(std::move(prefix));
        }
        return m_prefixes[std::min(index, m_prefixes.size() - 1)];
    }

private:
    std::size_t m_limit;
    bool m_capped = false;
    std::vector<std::string> m_prefixes{std::string()};
};

/// The start of a folder's path without its final "/", long enough for any line: a line keeps
/// at most `chars` characters, and a character takes at most four bytes.
void PathHead(const FolderNode& node, std::size_t chars, std::string& head,
              std::vector<const FolderNode*>& chain)
{
    head.clear();
    const std::size_t enough = 4 * chars + 8;
    if (node.pathLength <= enough) {
        node.appendPath(head);
        head.resize(WithoutTrailingSlash(head).size());
        return;
    }
    chain.clear();
    for (const FolderNode* up = &node; up; up = up->parent)
        chain.push_back(up);
    for (auto it = chain.rbegin(); it != chain.rend() && head.size() < enough; ++it) {
        head.append((*it)->name);
        if ((*it)->parent)
            head.push_back('/');
    }
}

/// The name a tree line shows for a folder: the last part of its path.
std::string_view ShownName(const FolderNode& node)
{
    return node.parent ? std::string_view(node.name)
                       : LastComponent(WithoutTrailingSlash(node.name));
}

/// Sets text to prefix + name, cut to the line allowance; returns its length in characters.
std::size_t BuildEntry(std::string& text, const std::string& prefix, std::string_view name,
                       int columnSize)
{
    text.assign(prefix);
    text.append(name);
    const std::size_t length = Utf8Length(text);
    const auto allowance = static_cast<std::size_t>(columnSize + kLineAllowance);
    if (length <= allowance)
        return length;
    text.resize(Utf8Left(text, static_cast<std::size_t>(columnSize + kCutAllowance)).size());
    text.append("...");
    return allowance;
}

} // namespace

void AppendSizeColumn(std::string& line, std::size_t nameLength, std::int64_t bytes, bool known,
                      std::size_t nameWidth, const ReportSettings& settings, const QLocale& locale)
{
    const auto pad = [&](std::size_t sizeLength) {
        std::size_t blanks = nameWidth - std::min(nameLength, nameWidth);
        if (sizeLength < kSizeFieldWidth)
            blanks += kSizeFieldWidth - sizeLength;
        line.append(blanks, ' ');
    };
    // Most lines: plain ASCII, where characters are bytes and nothing is to trim.
    thread_local std::string kilobytes;
    kilobytes.clear();
    if (AppendWholeKilobytes(kilobytes, static_cast<double>(bytes), settings.ShowSizeIn, locale)) {
        pad(kilobytes.size());
        if (known)
            AppendRtfSafeText(line, kilobytes, settings);
        else // a file whose status could not be read: its size is left blank
            line.append(kilobytes.size(), ' ');
        return;
    }
    const QString size = FormatSizeFixed(static_cast<double>(bytes), settings.ShowSizeIn, locale);
    pad(static_cast<std::size_t>(size.trimmed().size()));
    if (!known) {
        line.append(static_cast<std::size_t>(size.size()), ' ');
        return;
    }
    const QByteArray sizeUtf8 = size.toUtf8();
    AppendRtfSafeText(line, std::string_view(sizeUtf8.constData(), sizeUtf8.size()), settings);
}

void AppendFolderTotals(std::string& line, std::size_t nameLength, const FolderNode& folder,
                        std::size_t nameWidth, const ReportSettings& settings,
                        const QLocale& locale)
{
    AppendSizeColumn(line, nameLength, folder.totalSize, true, nameWidth, settings, locale);
    line.append("  ");
    line.append(QStringLiteral("%1 file(s)").arg(folder.totalFiles).toStdString());
}

namespace {

/// Writes the lines of one tree report: per run of records of one folder path a folder line
/// at the folder's level, then a line per file of the run one level deeper.
class TreeWriter {
public:
    TreeWriter(LayoutRun& run, TreeStyle style)
        : m_run(run), m_settings(run.settings()), m_withSizes(style == TreeStyle::WithSizes),
          m_columnSize(m_settings.columnSize()),
          m_nameWidth(static_cast<std::size_t>(m_columnSize + kLineAllowance)),
          m_prefixes(m_nameWidth + 1), m_levels(run.context().locations)
    {}

    void writeRecords()
    {
        const RecordList& records = m_run.records();
        const std::size_t n = records.lastIndex();
        for (std::size_t k = 1; k <= n; ++k) {
            m_run.context().progress.Yield();
            const ScanRecord& record = records[k];
            if (record.folder) {
                if (m_runs.begins(record.folder))
                    writeFolderLine(*record.folder);
                // Only file records are files; a folder's own record elsewhere in its run is not.
                if (record.isFile())
                    writeFileLine(record);
            }
            m_run.showProgress(k);
        }
    }

    void writeSummary()
    {
        const ScanCounters& counters = m_run.counters();
        m_run.writeSummaryTitle(6);
        if (!m_withSizes)
            m_run.writeLine(7, std::string_view());
        m_run.writeLine(8, QStringLiteral("\\par %1 file(s) found in %2 folder(s) \\par ")
                               .arg(counters.files)
                               .arg(counters.folders));
        m_run.writeLine(9, QStringLiteral("Total file size ") +
                               FormatSize(counters.sizeTotal, m_locale) +
                               QStringLiteral(" \\par "));
    }

private:
    /// A blank line with the bars of the level before every folder but the first, then the
    /// folder's branch and name (its whole path with FullPath).
    void writeFolderLine(const FolderNode& folder)
    {
        m_level = std::max(1, m_levels.of(&folder));
        if (m_runs.count() > 1) {
            m_line = TreeIndent(m_level) + "\\par ";
            m_run.writeLine(3, m_line);
        }
        std::string_view name = ShownName(folder);
        if (m_settings.FullPath) {
            PathHead(folder, m_nameWidth + 1, m_head, m_chain);
            name = m_head;
        }
        const std::size_t length = BuildEntry(m_text, m_prefixes[m_level], name, m_columnSize);
        m_line.clear();
        AppendRtfSafeText(m_line, m_text, m_settings);
        if (m_settings.FolderTotals)
            AppendFolderTotals(m_line, length, folder, m_nameWidth, m_settings, m_locale);
        m_line.append(m_withSizes ? " \\par " : "\\par ");
        m_run.writeLine(4, m_line);
        ++m_run.counters().folders;
    }

    void writeFileLine(const ScanRecord& record)
    {
        ScanCounters& counters = m_run.counters();
        if (!record.repeatLink)
            counters.sizeTotal += static_cast<double>(record.size);
        ++counters.files;
        const std::size_t length =
            BuildEntry(m_text, m_prefixes[m_level + 1], record.name, m_columnSize);
        m_line.clear();
        AppendRtfSafeText(m_line, m_text, m_settings);
        if (m_withSizes)
            appendSizeColumn(length, record.size, record.statError == 0);
        m_line.append(m_withSizes ? " \\par " : "\\par ");
        m_run.writeLine(5, m_line);
    }

    void appendSizeColumn(std::size_t nameLength, std::int64_t bytes, bool known)
    {
        AppendSizeColumn(m_line, nameLength, bytes, known, m_nameWidth, m_settings, m_locale);
    }

    LayoutRun& m_run;
    const ReportSettings& m_settings;
    const bool m_withSizes;
    const int m_columnSize;
    const std::size_t m_nameWidth; ///< the name part of a line, in characters
    BranchPrefixes m_prefixes;
    FolderLevels m_levels;
    FolderRuns m_runs;
    const QLocale m_locale;
    int m_level = 1; ///< the current folder's level
    std::string m_head;
    std::vector<const FolderNode*> m_chain;
    std::string m_text;
    std::string m_line;
};

} // namespace

bool RunTreeLayout(LayoutContext& context, TreeStyle style)
{
    LayoutRun run(context, style == TreeStyle::WithSizes ? QStringLiteral("TreeView Size List")
                                                         : QStringLiteral("TreeView List"));
    return run.run(10, " \\par\\par\\par}", [&] {
        TreeWriter tree(run, style);
        tree.writeRecords();
        if (context.settings.IncludeFullSum)
            tree.writeSummary();
    });
}

bool TreeViewList(LayoutContext& context)
{
    return RunTreeLayout(context, TreeStyle::Plain);
}

bool TreeViewSizeList(LayoutContext& context)
{
    return RunTreeLayout(context, TreeStyle::WithSizes);
}

} // namespace quillon
