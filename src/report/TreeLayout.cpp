#include "report/TreeLayout.h"

#include "details/SizeText.h"
#include "platform/CommandSteps.h"
#include "platform/PathRules.h"
#include "platform/Utf8.h"
#include "report/FolderLevel.h"
#include "report/RtfFraming.h"
#include "report/StagingFile.h"

#include <algorithm>
#include <optional>

namespace quillon {

namespace {

// The size column: right-aligned in this many characters after the padded name part.
constexpr std::size_t kSizeFieldWidth = 12;
// Lines longer than ColSize + 14 characters are cut to ColSize + 11 and "...".
constexpr int kLineAllowance = 14;
constexpr int kCutAllowance = 11;
constexpr std::size_t kProgressEvery = 50;

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
std::size_t buildEntry(std::string& text, const std::string& prefix, std::string_view name,
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

QString progressText(std::size_t k, std::size_t n)
{
    return QStringLiteral("Formating list. please wait... ") + QString::number(k) +
           QStringLiteral(" / ") + QString::number(n);
}

} // namespace

bool RunTreeLayout(LayoutContext& context, TreeStyle style)
{
    const bool withSizes = style == TreeStyle::WithSizes;
    const QString label =
        withSizes ? QStringLiteral("TreeView Size List") : QStringLiteral("TreeView List");
    ScanCounters unused;
    ScanCounters& counters = context.counters ? *context.counters : unused;
    const RecordList empty;
    const RecordList& records = context.records ? *context.records : empty;
    const ReportSettings& settings = context.settings;

    CommandSteps steps(label, context.decide, [&] {
        if (context.cancel)
            *context.cancel = true;
    });
    std::optional<ReportStagingFile> file;

    const bool done = RunCommand(steps, [&] {
        const int columnSize = settings.columnSize();
        const auto nameWidth = static_cast<std::size_t>(columnSize + kLineAllowance);
        BranchPrefixes prefixes(nameWidth + 1);
        FolderLevels levels(context.locations);
        std::string head;
        std::vector<const FolderNode*> chain;
        steps.step(1, [&] { file.emplace(context.stagingPath); });
        steps.step(2, [&] { file->writeLine(RtfHeader(context.font)); });

        const QLocale locale;
        const std::size_t n = records.lastIndex();

        const FolderNode* previousNode = nullptr;
        bool anyFolder = false;
        int level = 1;
        std::string text;
        std::string line;

        for (std::size_t k = 1; k <= n; ++k) {
            context.progress.Yield();
            const ScanRecord& record = records[k];
            if (record.folder) {
                // Each run of records of one folder path is one line.
                if (!anyFolder || !SamePath(record.folder, previousNode)) {
                    level = std::max(1, levels.of(record.folder));
                    if (anyFolder) {
                        line = TreeIndent(level) + "\\par ";
                        steps.step(3, [&] { file->writeLine(line); });
                    }
                    std::string_view name = ShownName(*record.folder);
                    if (settings.FullPath) {
                        PathHead(*record.folder, nameWidth + 1, head, chain);
                        name = head;
                    }
                    buildEntry(text, prefixes[level], name, columnSize);
                    line.clear();
                    AppendRtfSafeText(line, text, settings);
                    line.append(withSizes ? " \\par " : "\\par ");
                    steps.step(4, [&] { file->writeLine(line); });
                    previousNode = record.folder;
                    anyFolder = true;
                    ++counters.folders;
                }
                // Only file records are files; a folder's own record elsewhere in its run is not.
                if (record.isFile()) {
                    counters.sizeTotal += static_cast<double>(record.size);
                    ++counters.files;
                    const std::size_t length =
                        buildEntry(text, prefixes[level + 1], record.name, columnSize);
                    line.clear();
                    AppendRtfSafeText(line, text, settings);
                    if (withSizes) {
                        const QString size = FormatSizeFixed(static_cast<double>(record.size),
                                                             settings.ShowSizeIn, locale);
                        const auto sizeLength = static_cast<std::size_t>(size.trimmed().size());
                        std::size_t blanks = nameWidth - std::min(length, nameWidth);
                        if (sizeLength < kSizeFieldWidth)
                            blanks += kSizeFieldWidth - sizeLength;
                        line.append(blanks, ' ');
                        const QByteArray sizeUtf8 = size.toUtf8();
                        AppendRtfSafeText(line,
                                          std::string_view(sizeUtf8.constData(), sizeUtf8.size()),
                                          settings);
                        line.append(" \\par ");
                    } else {
                        line.append("\\par ");
                    }
                    steps.step(5, [&] { file->writeLine(line); });
                }
            }
            if (k % kProgressEvery == 0)
                context.progress.Status(progressText(k, n));
        }

        if (settings.IncludeFullSum) {
            steps.step(6,
                       [&] { file->writeLine(std::string_view("\\par\\b Total Summary: \\b0")); });
            if (!withSizes)
                steps.step(7, [&] { file->writeLine(std::string_view()); });
            steps.step(8, [&] {
                file->writeLine(QStringLiteral("\\par %1 file(s) found in %2 folder(s) \\par ")
                                    .arg(counters.files)
                                    .arg(counters.folders));
            });
            steps.step(9, [&] {
                file->writeLine(QStringLiteral("Total file size ") +
                                FormatSize(counters.sizeTotal, locale) + QStringLiteral(" \\par "));
            });
        }
        steps.step(10, [&] { file->writeLine(std::string_view(" \\par\\par\\par}")); });
        steps.step(11, [&] { file->close(); });
    });
    if (!done)
        file.reset(); // closes what was written so far; the pane keeps its old report
    return done;
}

} // namespace quillon
