// The main window's listing commands: Export Listing and Compare With Listing.
#include "app/MainFrm.h"
#include "app/ShownStaging.h"
#include "report/OwnStaging.h"

#include "app/Dialogs.h"
#include "app/ScanRun.h"
#include "listing/ComparisonOutput.h"
#include "listing/JsonListingReader.h"
#include "listing/ListingWriter.h"
#include "listing/SummaryListing.h"
#include "output/SaveFailureText.h"
#include "output/SaveFormat.h"
#include "platform/BoundedRead.h"
#include "platform/CheckedSave.h"
#include "platform/CommandError.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QSaveFile>
#include <cstring>
#include <optional>

namespace quillon {

namespace {

const QString kListingFilter =
    QStringLiteral("CSV listing(*.csv)|*.csv|JSON listing(*.json)|*.json");
const QString kCompareFilter = QStringLiteral("JSON listing(*.json)|*.json");

// The summaries a listing export holds; files not read for them are added to unread.
// keepGoing lets the window's events run and says whether to go on.
std::optional<ScanSummary> SummaryForExport(const RecordList& records,
                                            const SummarySettings& wanted, QStringList& unread,
                                            const std::function<bool()>& keepGoing)
{
    if (!wanted.any())
        return std::nullopt;
    SummaryHooks hooks;
    bool going = true;
    hooks.yield = [&] { going = going && keepGoing(); };
    hooks.cancelled = [&] { return !going; };
    hooks.unreadable = [&](const std::string& entry, const QString& reason) {
        unread +=
            QFile::decodeName(QByteArray::fromStdString(entry)) + QStringLiteral(": ") + reason;
    };
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    std::optional<ScanSummary> summary = SummarizeScan(records, wanted, hooks);
    QGuiApplication::restoreOverrideCursor();
    return summary;
}

// A saved listing that could not read everything says so, naming the first.
void TellPartlyRead(Dialogs& dialogs, const QStringList& unread, std::size_t unreadableEntries,
                    const QString& firstEntry)
{
    if (!unread.isEmpty())
        dialogs.ShowMessage(
            QStringLiteral("The listing was saved, but %1 file(s) could not be read for the "
                           "duplicates and are not counted as such. The first: %2")
                .arg(unread.size())
                .arg(unread.front()),
            QStringLiteral("Export Listing"), MessageIcon::Exclamation, MessageButtons::Ok,
            MessageResult::Ok);
    if (unreadableEntries > 0)
        dialogs.ShowMessage(
            QStringLiteral("The listing was saved, but %1 of its entries could not be read in "
                           "full; their unknown values are marked in it. The first: %2")
                .arg(unreadableEntries)
                .arg(firstEntry),
            QStringLiteral("Export Listing"), MessageIcon::Exclamation, MessageButtons::Ok,
            MessageResult::Ok);
}

// What an export could not read: files for the duplicates, entries in full (the first named).
struct ExportGaps {
    QStringList unread;
    std::size_t unreadableEntries = 0;
    QString first;
};

// Writes the listing of run's scan, with the summaries wanted, to path. keepGoing lets the
// window's events run; false stops the export and keeps the file at path.
bool SaveExport(const ScanRun& run, ListingHeader header, const SummarySettings& wanted,
                const QString& path, const std::function<bool()>& keepGoing, ExportGaps& gaps,
                QString* error)
{
    const std::optional<ScanSummary> summary =
        SummaryForExport(run.records(), wanted, gaps.unread, keepGoing);
    if (summary)
        header.summary = &*summary;
    const RecordList noRecords;
    RecordListingSource source(summary && wanted.Alone ? noRecords : run.records(), header);
    // Totals only when the scan made them: a switch turned on since then has none yet.
    source.setSizeChoices(run.options().folderTotals, run.options().sizeOnDisk,
                          run.options().includeHidden);
    source.setUnreadableHook([&](const std::string& entry, const QString& reason, unsigned) {
        if (gaps.first.isEmpty())
            gaps.first =
                QFile::decodeName(QByteArray::fromStdString(entry)) + QStringLiteral(": ") + reason;
    });
    if (!keepGoing()) // stopped during the summaries
        return false;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    bool saved = false;
    if (summary && ListingFormatForPath(path) == ListingFormat::Csv)
        saved = SaveChecked(
            path,
            [&](QSaveFile& file, QString* why) { return WriteSummaryCsv(*summary, file, why); },
            error);
    else
        saved = SaveListing(source, ListingFormatForPath(path), path, error,
                            [&](std::size_t) { return keepGoing(); });
    QGuiApplication::restoreOverrideCursor();
    gaps.unreadableEntries = source.unreadableCount();
    return saved;
}

// Folders the scan could not read are part of what the comparison could not see, and so is
// every detail of the scan's files that cannot be read now.
void AddUnreadable(ListingComparison& comparison, const ScanRun& run, RecordListingSource& scan)
{
    scan.setUnreadableHook(
        [&comparison](const std::string& entry, const QString& reason, unsigned what) {
            comparison.addUnreadable(UnreadableDetail(entry, reason, what));
        });
    for (const FolderNode* folder : run.unreadableFolders()) {
        std::string folderPath = folder->path();
        if (folderPath.size() > 1)
            folderPath.pop_back();
        comparison.addUnreadable({std::move(folderPath), QStringLiteral("folder"),
                                  QString::fromLocal8Bit(std::strerror(folder->readError))});
    }
}

// Runs the comparison under the wait cursor; keepGoing lets the window's events run and
// says whether to go on.
bool RunComparison(ListingComparison& comparison, const std::function<bool()>& keepGoing,
                   QString* error)
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const bool compared = comparison.run(error, keepGoing);
    QGuiApplication::restoreOverrideCursor();
    return compared;
}

// A staging file of its own, as a scan's report has, so Save As reads this comparison; null
// with *error when it cannot be written.
std::unique_ptr<OwnStaging> StageComparison(ListingComparison& comparison, const ReportFont& font,
                                            const QString& stagingPath, QString* error)
{
    auto staging = std::make_unique<OwnStaging>(stagingPath);
    if (!WriteCompareRtf(
            [&comparison](CompareSink& sink, QString* why) { return comparison.write(sink, why); },
            font, staging->path(), error))
        return nullptr;
    return staging;
}

} // namespace

void MainFrm::ExportListing()
{
    if (m_scanning)
        return;
    if (m_run->records().lastIndex() == 0 || !m_scanHeader) {
        m_dialogs->ShowMessage(QStringLiteral("Please scan first: a listing holds the files of "
                                              "the last scan."),
                               QStringLiteral("Export Listing"), MessageIcon::Information,
                               MessageButtons::Ok, MessageResult::Ok);
        return;
    }
    const QString path = m_dialogs->ShowSaveDialog(kListingFilter, QStringLiteral("Export Listing"),
                                                   QString(), QString());
    if (path.isEmpty())
        return;
    QString error;
    bool saved = false;
    if (ListingFormatForPath(path) == ListingFormat::None) {
        error = OutputNameRefusal(path, kListingOutputs) + QLatin1Char('.');
    } else {
        // Cancel keeps the file the listing would have replaced.
        ExportGaps gaps;
        saved = SaveExport(*m_run, *m_scanHeader, Settings().Summary, path, BeginBusyCommand(),
                           gaps, &error);
        SetScanningState(true);
        if (BusyCommandEnded(QStringLiteral("Export Listing")))
            return;
        if (saved)
            TellPartlyRead(*m_dialogs, gaps.unread, gaps.unreadableEntries, gaps.first);
    }
    if (!saved)
        m_dialogs->ShowMessage(SaveFailureText(QStringLiteral("listing"), path, error),
                               QStringLiteral("Export Listing"), MessageIcon::Exclamation,
                               MessageButtons::Ok, MessageResult::Ok);
}

void MainFrm::CompareWithListing()
{
    if (m_scanning)
        return;
    const auto tell = [this](const QString& text) {
        m_dialogs->ShowMessage(text, QStringLiteral("Compare With Listing"),
                               MessageIcon::Exclamation, MessageButtons::Ok, MessageResult::Ok);
    };
    if (m_run->records().lastIndex() == 0 || !m_scanHeader) {
        tell(QStringLiteral("Please scan first: the listing is compared with the last scan."));
        return;
    }
    const QString path = m_dialogs->ShowOpenDialog(
        kCompareFilter, QStringLiteral("Compare With Listing"), QString());
    if (path.isEmpty())
        return;
    QFile file;
    QString error;
    if (!OpenListingFile(QFile::encodeName(path), file, &error)) {
        tell(error.left(1).toUpper() + error.mid(1));
        return;
    }
    JsonListingReader listing(file, path);
    if (!listing.open()) {
        tell(listing.error());
        return;
    }
    // The listing is the older side: what the scan has and it lacks was added.
    ListingHeader header = *m_scanHeader;
    header.columns = ListingColumns();
    header.columns[DetailColumn::CRC32] = listing.header().columns[DetailColumn::CRC32];
    RecordListingSource scan(m_run->records(), header);
    // As its export holds it: a file's own size with SizeOnDisk, hidden files' checksums.
    scan.setSizeChoices(m_run->options().folderTotals, m_run->options().sizeOnDisk,
                        m_run->options().includeHidden);
    ListingComparison comparison(listing, scan, QFile::encodeName(path).toStdString(),
                                 "the last scan");
    AddUnreadable(comparison, *m_run, scan);
    // Cancel keeps the pane as it was.
    const bool compared = RunComparison(comparison, BeginBusyCommand(), &error);
    SetScanningState(true);
    if (BusyCommandEnded(QStringLiteral("Compare With Listing")))
        return;
    if (!compared) {
        tell(error);
        return;
    }
    auto staging = StageComparison(
        comparison, ReportFont{cmbFont->currentText(), cmbFontSize->currentText(), m_reportColour},
        StagingPath(), &error);
    if (!staging) {
        tell(QStringLiteral("The comparison could not be written: ") + error);
        return;
    }
    if (LoadReportIntoPane(staging->path()))
        m_report->Take(std::move(staging));
}

} // namespace quillon
