#pragma once

namespace quillon {

/// The report type of a job: the main window's options Opt1 to Opt4 ("Option1".."Option4" in
/// job files). None when no option is selected: the scan then calls no layout.
enum class ReportType {
    None = 0,
    ListInDetails = 1,
    TreeView = 2,
    TreeViewWithSize = 3,
    FolderList = 4
};

} // namespace quillon
