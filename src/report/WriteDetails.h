#pragma once

#include "details/FileDetails.h"
#include "report/DetailColumns.h"
#include "report/DetailsSortKey.h"
#include "report/LayoutContext.h"

#include <QLocale>
#include <QString>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

struct stat;

namespace quillon {

class CommandSteps;
class ReportStagingFile;

/// Width of the separator lines and limit of folder titles: ColSize + 2 plus the allowance of
/// each detail column that is on (68 with the default settings).
int DetailsLineWidth(const ReportSettings& settings);

/// The name column: names longer than columnSize characters are cut to columnSize - 3
/// characters, trimmed of blanks and given "..."; then padded with blanks to columnSize.
std::string DetailsNameColumn(std::string_view name, int columnSize);
/// Appends DetailsNameColumn(name, columnSize) to out.
void AppendDetailsNameColumn(std::string& out, std::string_view name, int columnSize);

/// The folder title: cut to lineWidth - 3 characters and "..." when longer than lineWidth.
std::string DetailsTitle(std::string_view title, int lineWidth);

/// A file's status for its line: following a link, but a dangling link still has its own.
/// False when the file is gone.
bool StatForLine(const FileAt& file, struct stat& st);

/// A last-changed time (seconds since the epoch) in local time; false when it has no year
/// from 1 to 9999.
bool ChangedLocalTime(std::int64_t seconds, std::tm& local);

/// Writes the folder blocks of one List In Details report into its staging file: title and
/// separators, one line per file with the columns the settings switch on, and the folder
/// summary. Keeps what a report shares between its folders: the settings, the line width, the
/// checksum component, the date and time separators of the user's locale.
class DetailsBlockWriter {
public:
    /// counters.files is raised by each file line written.
    DetailsBlockWriter(LayoutContext& context, ReportStagingFile& file, ScanCounters& counters);

    /// Writes the block of one folder: folder is the display path (no trailing "/" except for
    /// the root), sortList the folder's keys in sorted order. Raises the file counter and
    /// shows the progress text every 5th file of the report. A file that vanished since its
    /// key was made leaves out its own line only; an unreadable time leaves the date and time
    /// blank. Errors go through the "Write Details" convention; returns false when the user
    /// gave up (the cancel flag is then set and the folder foot is not written).
    /// node, when given and folder totals are on, adds the line of the folder's total with
    /// its sub-folders under its own sum.
    bool WriteDetails(std::string_view folder, const std::vector<DetailsSortKey>& sortList,
                      const FolderNode* node = nullptr);

    int lineWidth() const { return m_lineWidth; }

    /// Tells a file detail that could not be read (the ContentDetail bits, 0 for the status):
    /// in batch mode through unreadableDetail, and the line goes on with the value blank; in
    /// the window an unreadable checksum goes through the error convention (Retry or Abort).
    void tellUnreadable(const std::string& path, int error, unsigned details);

    /// The folder whose files are being looked at, shared with the layout that collects the
    /// keys so each folder is opened once.
    FolderCursor& folders() { return m_folders; }

private:
    bool cancelled() const { return m_context.cancel && *m_context.cancel; }
    void writeHead(std::string_view folder, CommandSteps& steps);
    void writeFoot(std::uint32_t fileCount, double sizeTotal, const FolderNode* node,
                   CommandSteps& steps);
    void buildLine(const DetailsSortKey& key, const FileAt& file, const std::string& path,
                   bool timeKnown, const std::tm& changed, std::string& line);
    void appendDetail(DetailColumn column, const DetailColumnRow& row, std::string& line) const;
    void appendSize(const DetailsSortKey& key, bool known, std::string& line);
    void appendDate(const DetailsSortKey& key, bool timeKnown, bool known, const std::tm& changed,
                    std::string& line) const;
    void appendTime(bool timeKnown, const std::tm& changed, std::string& line) const;
    bool readDetails(const FileAt& file, const std::string& path);
    void showProgress();

    LayoutContext& m_context;
    ReportStagingFile& m_file;
    ScanCounters& m_counters;
    const ReportSettings& m_settings;
    DetailsSortBy m_sortBy;
    int m_lineWidth;
    int m_columnSize;
    std::size_t m_recordCount;
    std::vector<DetailColumn> m_lineColumns; ///< those switched on, from the left
    QLocale m_locale;
    char m_dateSeparator = '/';
    char m_timeSeparator = ':';
    DetailChoice m_choice;
    FileDetailReader m_reader;
    FileDetails m_details;
    std::string m_size; ///< the size text of the line being built
    FolderCursor m_folders;
};

} // namespace quillon
