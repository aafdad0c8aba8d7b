// The main window's Open Listing command: a saved listing shown as a scan's report.
#include "app/BatchFromListing.h"
#include "app/Dialogs.h"
#include "app/MainFrm.h"
#include "app/ShownStaging.h"
#include "listing/ListingRecords.h"
#include "report/OwnStaging.h"

#include <QComboBox>
#include <QFile>
#include <QGuiApplication>
#include <QRadioButton>
#include <QTimer>

namespace quillon {

void MainFrm::OpenListing()
{
    if (m_scanning)
        return;
    const QString path = m_dialogs->ShowOpenDialog(QStringLiteral("JSON listing(*.json)|*.json"),
                                                   QStringLiteral("Open Listing"), QString());
    if (path.isEmpty())
        return;
    ListingRecords records(Settings());
    std::size_t unread = 0;
    QString firstUnread;
    records.setUnreadHook([&](const std::string& entry, const QString& what) {
        if (unread++ == 0)
            firstUnread =
                QFile::decodeName(QByteArray::fromStdString(entry)) + QStringLiteral(": ") + what;
    });
    // Cancel stops the reading or the layout and keeps the pane as it was.
    const std::function<bool()> keepGoing = BeginBusyCommand();
    QString error;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const bool read = ReadListingFiles({path}, records, &error, keepGoing);
    QGuiApplication::restoreOverrideCursor();

    // Laid out as a scan's report is, with the window's type, sort and font.
    const ReportType type = SelectedReportType();
    ReportChoices choices = ListingReportChoices();
    auto staging = std::make_unique<OwnStaging>(StagingPath());
    ScanCounters counters;
    bool cancel = false;
    choices.progress.yield = [&] { cancel = cancel || !keepGoing(); };
    const bool shown =
        read && keepGoing() &&
        LayOutListingRecords(type, records, counters, &cancel, choices, staging->path()) &&
        !cancel && keepGoing() && LoadReportIntoPane(staging->path());
    SetScanningState(true);
    if (OpenListingEnded(read, error) || !shown)
        return;
    m_report->Take(std::move(staging));
    SetPanelText(1, QFile::decodeName(QFile::encodeName(path)));
    SetPanelText(3, QStringLiteral("Files : ") + QString::number(counters.files));
    SetPanelText(4, QStringLiteral("Folders : ") + QString::number(counters.folders));
    NoteListingGaps(records.lacks(type), unread, firstUnread);
}

std::function<bool()> MainFrm::BeginBusyCommand()
{
    SetScanningState(false);
    m_listingCancelled = false;
    return [this] {
        if (m_yieldHook)
            m_yieldHook();
        return !m_closePending && !m_listingCancelled;
    };
}

bool MainFrm::BusyCommandEnded(const QString& command)
{
    if (m_closePending) {
        m_closePending = false;
        QTimer::singleShot(0, this, &QWidget::close);
        return true;
    }
    if (m_listingCancelled) {
        SetPanelText(1, command + QStringLiteral(" cancelled."));
        return true;
    }
    return false;
}

// A close asked for meanwhile, Cancel, or a listing that could not be read: each ends Open
// Listing with the pane as it was. True when one of them did.
bool MainFrm::OpenListingEnded(bool read, const QString& error)
{
    if (BusyCommandEnded(QStringLiteral("Open Listing")))
        return true;
    if (!read) {
        TellOpenListing(error.left(1).toUpper() + error.mid(1));
        return true;
    }
    return false;
}

void MainFrm::TellOpenListing(const QString& text)
{
    m_dialogs->ShowMessage(text, QStringLiteral("Open Listing"), MessageIcon::Exclamation,
                           MessageButtons::Ok, MessageResult::Ok);
}

// Laid out as a scan's report is, with the window's type, sort and font.
ReportChoices MainFrm::ListingReportChoices()
{
    ReportChoices choices;
    choices.settings = Settings();
    choices.font = ReportFont{cmbFont->currentText(), m_fontSize, m_reportColour};
    choices.sort = DetailsSort{cmbSort->currentText(), optAsc->isChecked()};
    choices.decide = [this](const ErrorReport& report) { return AskAboutError(report); };
    return choices;
}

// What the listing could not give this report, and what its scan could not read.
void MainFrm::NoteListingGaps(QStringList notes, std::size_t unread, const QString& firstUnread)
{
    if (unread > 0)
        notes += QStringLiteral("%1 of its entries were not read in full when the listing was "
                                "made; their values are blank. The first: %2")
                     .arg(unread)
                     .arg(firstUnread);
    if (!notes.isEmpty())
        TellOpenListing(notes.join(QLatin1Char('\n')));
}

} // namespace quillon
