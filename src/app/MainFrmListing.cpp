// The main window's listing commands: Export Listing and Compare With Listing.
#include "app/MainFrm.h"
#include "app/ShownStaging.h"
#include "report/OwnStaging.h"

#include "listing/CompareReport.h"
#include "listing/JsonListingReader.h"
#include "listing/ListingWriter.h"
#include "output/Dialogs.h"
#include "platform/CommandError.h"
#include "scan/ScanRun.h"

#include <QComboBox>
#include <QFile>
#include <QGuiApplication>

namespace quillon {

namespace {

const QString kListingFilter =
    QStringLiteral("CSV listing(*.csv)|*.csv|JSON listing(*.json)|*.json");
const QString kCompareFilter = QStringLiteral("JSON listing(*.json)|*.json");

} // namespace

void MainFrm::ExportListing()
{
    if (m_scanning)
        return;
    if (m_run->records().lastIndex() == 0) {
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
        error = QStringLiteral("the file name must end in .csv or .json.");
    } else {
        RecordListingSource source(
            m_run->records(),
            MakeListingHeader(Locations(), SelectedReportType(), Settings(), Exclusions()));
        // Totals only when the scan made them: a switch turned on since then has none yet.
        source.setSizeChoices(m_run->options().folderTotals, Settings().SizeOnDisk,
                              m_run->options().includeHidden);
        QString first; // the first entry that could not be read in full, with the reason
        source.setUnreadableHook([&](const std::string& entry, const QString& reason) {
            if (first.isEmpty())
                first = QFile::decodeName(QByteArray::fromStdString(entry)) + QStringLiteral(": ") +
                        reason;
        });
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        saved = SaveListing(source, ListingFormatForPath(path), path, &error);
        QGuiApplication::restoreOverrideCursor();
        if (saved && source.unreadableCount() > 0)
            m_dialogs->ShowMessage(
                QStringLiteral("The listing was saved, but %1 of its entries could not be read in "
                               "full; their unknown values are marked in it. The first: %2")
                    .arg(source.unreadableCount())
                    .arg(first),
                QStringLiteral("Export Listing"), MessageIcon::Exclamation, MessageButtons::Ok,
                MessageResult::Ok);
    }
    if (!saved)
        m_dialogs->ShowMessage(QStringLiteral("Nothing was saved: ") + error,
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
    if (m_run->records().lastIndex() == 0) {
        tell(QStringLiteral("Please scan first: the listing is compared with the last scan."));
        return;
    }
    const QString path = m_dialogs->ShowOpenDialog(
        kCompareFilter, QStringLiteral("Compare With Listing"), QString());
    if (path.isEmpty())
        return;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        tell(QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()));
        return;
    }
    JsonListingReader listing(file);
    if (!listing.open()) {
        tell(path + QStringLiteral(": ") + listing.error());
        return;
    }
    // The listing is the older side: what the scan has and it lacks was added.
    ListingHeader header =
        MakeListingHeader(Locations(), SelectedReportType(), Settings(), Exclusions());
    header.columns = ListingColumns();
    header.columns.crc32 = listing.header().columns.crc32;
    RecordListingSource scan(m_run->records(), header);
    CompareResult result;
    result.labelA = path;
    result.labelB = QStringLiteral("the last scan");
    QString error;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const bool compared = CompareListings(listing, scan, result, &error, [this] {
        if (m_yieldHook)
            m_yieldHook();
        return true;
    });
    QGuiApplication::restoreOverrideCursor();
    if (!compared) {
        tell(error);
        return;
    }
    // A staging file of its own, as a scan's report has, so Save As reads this comparison.
    auto staging = std::make_unique<OwnStaging>(StagingPath());
    try {
        WriteCompareRtf(
            CompareReportLines(result),
            ReportFont{cmbFont->currentText(), cmbFontSize->currentText(), m_reportColour},
            staging->path());
    } catch (const CommandError& e) {
        tell(QStringLiteral("The comparison could not be written: ") + e.description());
        return;
    }
    if (LoadReportIntoPane(staging->path()))
        m_report->Take(std::move(staging));
}

} // namespace quillon
