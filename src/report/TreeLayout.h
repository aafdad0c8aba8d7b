#pragma once

#include "report/LayoutContext.h"

class QLocale;

namespace quillon {

/// How a tree report draws its file lines.
enum class TreeStyle {
    Plain,     ///< file names only ("TreeView List")
    WithSizes, ///< file names and a right-aligned size column ("TreeView Size List")
};

/// The tree reports: one line per run of records of the same folder, drawn at its level with
/// "|-- " branches and "|" bars, the folder's files on the lines below it, an optional total
/// summary and the closing line. Writes the staging file, raises the counters, and returns
/// false (cancel flag set, staging file closed and not to be loaded) when the user gives up
/// on an error. TreeViewList and TreeViewSizeList are this with their style.
bool RunTreeLayout(LayoutContext& context, TreeStyle style);

/// Pads a line's name part (nameLength of nameWidth characters) and appends the size in the
/// report's unit, right-aligned in the size column; blanks in its place when not known.
void AppendSizeColumn(std::string& line, std::size_t nameLength, std::int64_t bytes, bool known,
                      std::size_t nameWidth, const ReportSettings& settings, const QLocale& locale);

/// A folder line's totals: its total size in the size column, then "N file(s)".
void AppendFolderTotals(std::string& line, std::size_t nameLength, const FolderNode& folder,
                        std::size_t nameWidth, const ReportSettings& settings,
                        const QLocale& locale);

} // namespace quillon
