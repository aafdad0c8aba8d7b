// The main window's commands that drive the engine: the scan, the job files, Save As, help.
#include "app/MainFrm.h"

#include "app/BuildAside.h"
#include "app/CentreWindow.h"
#include "app/Dialogs.h"
#include "app/FollowedFile.h"
#include "app/HelpPage.h"
#include "app/HtmlFrm.h"
#include "app/JobFile.h"
#include "app/ScanRun.h"
#include "app/ShownStaging.h"
#include "listing/ListingSource.h"
#include "output/EditHistory.h"
#include "output/SaveFailureText.h"
#include "output/SaveFormat.h"
#include "platform/CommandSteps.h"
#include "platform/ThrottledYield.h"
#include "report/LayoutContext.h"
#include "report/Layouts.h"
#include "report/OwnStaging.h"
#include "rtf/CompactText.h"
#include "rtf/RtfDocumentBuilder.h"
#include "rtf/RtfFiles.h"
#include "rtf/RtfReader.h"
#include "scan/BuzTimer.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <atomic>

namespace quillon {

namespace {

const QString kJobFilter = QStringLiteral("Quillon|*.qjb");
const QString kSaveAsFilter =
    QStringLiteral("Rich text format(*.rtf)|*.rtf|Text file(*.txt)|*.txt|Webpage HTML(*.htm)|*.htm|"
                   "Web page, interactive(*.html)|*.html");
// The one format no name asks for: the interactive page is chosen by its filter.
constexpr int kInteractivePageFilter = 3;

// The end of panel 1 after a run that met folders it could not read (a missing location
// among them), and the tooltip that names them with the reason; both empty when there were
// none. The tooltip names the first few dozen only, so it still fits on a screen.
struct UnreadableSummary {
    QString suffix;
    QString tooltip;
};

// details: "path: reason" of the files whose details the layout could not read.
UnreadableSummary SummariseUnreadable(const std::vector<const FolderNode*>& folders,
                                      const RecordList& records,
                                      const std::vector<std::size_t>& files,
                                      const QStringList& details)
{
    UnreadableSummary summary;
    if (folders.empty() && files.empty() && details.empty())
        return summary;
    const qsizetype count = qsizetype(folders.size());
    const qsizetype fileCount = qsizetype(files.size()) + details.size();
    const QString folderText =
        count == 1 ? QStringLiteral("1 folder") : QStringLiteral("%1 folders").arg(count);
    const QString fileText =
        fileCount == 1 ? QStringLiteral("1 file") : QStringLiteral("%1 files").arg(fileCount);
    summary.suffix = QStringLiteral(" (%1 could not be read)")
                         .arg(fileCount == 0 ? folderText
                              : count == 0   ? fileText
                                             : folderText + QStringLiteral(" and ") + fileText);
    constexpr qsizetype kListed = 40;
    QStringList lines;
    const auto add = [&](std::string path, int error) {
        if (path.size() > 1 && path.back() == '/')
            path.pop_back();
        lines.append(QFile::decodeName(QByteArray::fromStdString(path)) + QStringLiteral(": ") +
                     qt_error_string(error));
    };
    for (qsizetype i = 0; i < std::min(count, kListed); ++i)
        add(folders[std::size_t(i)]->path(), folders[std::size_t(i)]->readError);
    for (qsizetype i = 0; i < std::min(qsizetype(files.size()), kListed - lines.size()); ++i) {
        const ScanRecord& record = records[files[std::size_t(i)]];
        add(record.fullPath(), record.statError);
    }
    lines.append(details.mid(0, std::max<qsizetype>(kListed - lines.size(), 0)));
    if (count + fileCount > lines.size())
        lines.append(QStringLiteral("and %1 more").arg(count + fileCount - lines.size()));
    summary.tooltip = lines.join(QLatin1Char('\n'));
    return summary;
}

} // namespace

ErrorChoice MainFrm::AskAboutError(const ErrorReport& report)
{
    return m_dialogs->ShowErrorReport(report);
}

void MainFrm::Scan()
{
    if (m_scanning)
        return;
    ScanRunHooks hooks;
    hooks.progress.yield = [this] { YieldInScan(); };
    hooks.progress.status = [this](const QString& text) { SetPanelText(1, text); };
    hooks.decide = [this](const ErrorReport& report) { return AskAboutError(report); };
    hooks.saveDefaultJob = [this] { SaveJob(DefaultJobPath()); };
    hooks.noLocations = [this] {
        m_dialogs->ShowMessage(QStringLiteral("Please add scan path first."),
                               QStringLiteral("Error"), MessageIcon::Information,
                               MessageButtons::Ok, MessageResult::Ok);
        if (cmdAdd->isEnabled())
            cmdAdd->click();
    };
    hooks.started = [this] { ScanStarted(); };
    hooks.setScanningState = [this](bool idle) { SetScanningState(idle); };
    hooks.layout = [this](ReportType type, const RecordList& records, ScanCounters& counters,
                          bool* cancel) { RunLayoutStep(type, records, counters, cancel); };
    hooks.finished = [this](const ScanCounters& counters, bool cancelled) {
        ScanFinished(counters, cancelled);
    };

    // Taken as the run starts: the records it gathers belong to these choices and this time.
    m_scanHeader = std::make_unique<ListingHeader>(
        MakeListingHeader(Locations(), SelectedReportType(), Settings(), Exclusions()));
    m_run->setOptions(ScanOptionsOf(Settings(), optAsc->isChecked()));
    m_run->Run(Locations(), Exclusions(), SelectedReportType(), hooks);

    // Whatever way the run ended, the window is idle again and the clock stands still; a run
    // that showed no new report gives the pane back as it was.
    if (m_scanning)
        SetScanningState(true);
    Timer1->stop();
    if (!m_closePending)
        m_history->BringBack();
    if (m_closePending) {
        m_closePending = false;
        QTimer::singleShot(0, this, &QWidget::close);
    }
}

void MainFrm::ScanStarted()
{
    // The shown report is put away compactly while the scan runs (the pane shows an empty
    // page), so its document and the new run's records never share the memory; a large
    // one is taken apart a slice at a time before the walk begins.
    m_history->SetAside();
    m_history->FinishRetiring([this] { YieldInScan(); });
    SearchList->setFocus();
    if (!m_stopwatch)
        m_stopwatch = std::make_unique<buzTimer>();
    m_stopwatch->Reset();
    Timer1->start();
    m_counters = {};
    for (int panel = 2; panel <= 4; ++panel) {
        SetPanelText(panel, QString());
        m_panels[panel - 1]->hide();
    }
    SetPanelText(5, QStringLiteral("00:00:00"));
    m_panels[0]->setToolTip(QString());
    m_unreadableDetails.clear();
}

void MainFrm::ScanFinished(const ScanCounters& counters, bool cancelled)
{
    m_counters = counters;
    // The clock panel ends on the run's whole time, not on its last whole-second tick.
    if (m_stopwatch)
        SetPanelText(5, m_stopwatch->Elapsed());
    // Folders that could not be read are listed empty, as the layouts do; the panel says
    // so, rather than "Ready" alone passing for a complete report.
    const UnreadableSummary unreadable =
        SummariseUnreadable(m_run->unreadableFolders(), m_run->records(), m_run->unreadableFiles(),
                            m_unreadableDetails);
    SetPanelText(1, (cancelled ? QStringLiteral("Scan Terminated.") : QStringLiteral("Ready")) +
                        unreadable.suffix);
    m_panels[0]->setToolTip(unreadable.tooltip);
    SetScanningState(true);
    m_panels[2]->show();
    m_panels[3]->show();
    SetPanelText(3, QStringLiteral("Files : ") + QString::number(counters.files));
    SetPanelText(4, QStringLiteral("Folders : ") + QString::number(counters.folders));
    Timer1->stop();
}

void MainFrm::YieldInScan()
{
    if (m_yieldHook)
        m_yieldHook();
    // The close box during a scan gives the run up where it stands: no sort, no layout of the
    // partial report and no load, so the window closes at once.
    if (m_closePending)
        throw CommandAborted{};
}

// A report read from its staging file into a document built aside, with what the reading
// found and the compact copy of the file the history keeps.
struct MainFrm::PaneLoad {
    PaneLoad(QIODevice& from, const QFont& font)
        : source(from), build(font, [this](QTextDocument& document) { Read(document); })
    {}
    void Read(QTextDocument& document)
    {
        KeepingFileDevice device(source, [this] { return giveUp.load(); });
        {
            RtfDocumentBuilder builder(&document);
            read = RtfReader(builder).read(device);
        }
        stopped = device.stopped();
        if (read && !stopped)
            kept = device.keepAll();
    }

    QIODevice& source;
    std::atomic<bool> giveUp = false;
    bool read = false;
    bool stopped = false;
    std::shared_ptr<const CompactText> kept;
    AsideBuild build; ///< last: started once the rest is in place, joined before it goes
};

// A report read into its document while the layout still writes the staging file, so the
// two go on side by side. Left before the layout said it is done, the read is given up.
struct MainFrm::FollowedLoad {
    FollowedLoad(const QString& path, const QFont& font) : file(path, writer), load(file, font) {}
    ~FollowedLoad()
    {
        auto writing = FollowedFile::Writer::Writing;
        writer.compare_exchange_strong(writing, FollowedFile::Writer::GaveUp);
    }

    std::atomic<FollowedFile::Writer> writer = FollowedFile::Writer::Writing;
    FollowedFile file;
    PaneLoad load;
};

void MainFrm::RunLayoutStep(ReportType type, const RecordList& records, ScanCounters& counters,
                            bool* cancel)
{
    ReportChoices choices;
    choices.settings = Settings();
    choices.font = ReportFont{cmbFont->currentText(), m_fontSize, m_reportColour};
    choices.sort = DetailsSort{cmbSort->currentText(), optAsc->isChecked()};
    choices.progress.yield = [this] { YieldInScan(); };
    choices.progress.status = [this](const QString& text) { SetPanelText(1, text); };
    choices.decide = [this](const ErrorReport& report) { return AskAboutError(report); };
    choices.unreadableNote = [this](const std::string& path, const QString& reason) {
        m_unreadableDetails.append(QFile::decodeName(QByteArray::fromStdString(path)) +
                                   QStringLiteral(": ") + reason);
    };
    // Laid out into a file of this scan's own, so another process replacing tmpfile.dmp
    // cannot put its report into this window. The pane's document is built from it as it is
    // written.
    auto staging = std::make_unique<OwnStaging>(StagingPath());
    m_history->SetAside();
    FollowedLoad followed(staging->path(), rTxt->font());
    const bool written =
        LayOutScan(type, records, counters, cancel, Locations(), choices, staging->path());
    if (!written)
        return;
    followed.writer.store(FollowedFile::Writer::Done, std::memory_order_release);
    // tmpfile.dmp is only a copy for others; the window keeps its own.
    if (ShowLoadedReport(followed.load, staging->path(),
                         [&followed] { return followed.file.ReadWhole(); }))
        m_report->Take(std::move(staging));
}

bool MainFrm::LoadReportIntoPane(const QString& stagingPath)
{
    QFile file(stagingPath);
    if (!file.open(QIODevice::ReadOnly)) {
        TellReportNotShown(
            QStringLiteral("Cannot open %1: %2").arg(stagingPath, file.errorString()));
        return false;
    }
    // The shown report is put away compactly first (already done when a scan runs), so two
    // whole reports never share the memory.
    m_history->SetAside();
    PaneLoad load(file, rTxt->font());
    return ShowLoadedReport(load, stagingPath);
}

bool MainFrm::ShowLoadedReport(PaneLoad& load, const QString& stagingPath,
                               const std::function<bool()>& whole)
{
    // The new report is built in a document of its own while the window's events run, and
    // then shown whole: the load is one change for Undo, and a failed or given-up load brings
    // the pane back as it was.
    m_loading = true;
    std::unique_ptr<QTextDocument> report = load.build.Finish([this, &load] {
        if (m_yieldHook)
            m_yieldHook();
        if (m_closePending)
            load.giveUp = true;
    });
    // The pane's taking the report goes over every block twice: it starts with a turn of
    // the event loop of its own.
    if (load.read && !load.stopped)
        QCoreApplication::processEvents();
    m_loading = false;
    const bool givenUp = load.stopped || m_closePending;
    if (load.read && !givenUp && whole && !whole()) {
        // A retried layout put a new file in place of the one read: that one is shown.
        report.reset();
        return LoadReportIntoPane(stagingPath);
    }
    if (load.read && !givenUp) {
        ReplacePaneDocument(std::move(report), std::move(load.kept));
        rTxt->setLineWrapMode(QTextEdit::NoWrap);
        return true;
    }
    report.reset();
    if (!m_closePending)
        m_history->BringBack();
    if (!givenUp)
        TellReportNotShown(
            QStringLiteral("Cannot read %1: %2").arg(stagingPath, load.source.errorString()));
    return false;
}

void MainFrm::TellReportNotShown(const QString& error)
{
    m_dialogs->ShowMessage(QStringLiteral("The report could not be shown: ") + error,
                           QStringLiteral("Error"), MessageIcon::Critical, MessageButtons::Ok,
                           MessageResult::Ok);
}

void MainFrm::CancelScan()
{
    if (!m_scanning)
        return;
    const MessageResult answer =
        m_dialogs->ShowMessage(QStringLiteral("Are you sure to cancel scanning of directories?"),
                               QStringLiteral("Cancel Search"), MessageIcon::Question,
                               MessageButtons::YesNo, MessageResult::No);
    if (answer != MessageResult::Yes)
        return;
    // Open Listing runs no scan: it watches its own flag.
    m_listingCancelled = true;
    m_run->Cancel();
}

Job MainFrm::CurrentJob() const
{
    Job job;
    job.type = SelectedReportType();
    job.sortKey = cmbSort->currentText();
    job.ascending = optAsc->isChecked();
    job.fontName = cmbFont->currentText();
    job.fontSize = m_fontSize;
    job.locations = Locations();
    return job;
}

void MainFrm::ApplyJob(const Job& job)
{
    SelectReportType(job.type);
    cmbSort->setEditText(job.sortKey);
    if (job.ascending)
        optAsc->setChecked(true);
    else
        optDesc->setChecked(true);
    cmbFont->setEditText(job.fontName);
    cmbFontSize->setEditText(job.fontSize);
    cmbFontSize->setEditText(m_fontSize); // a job stored with a broken size shows the last valid
    SearchList->clear();
    for (const ScanLocation& location : job.locations)
        SetLocationRow(new QTreeWidgetItem(SearchList), location);
    UpdateRemoveButton();
}

bool MainFrm::SaveJob(const QString& path)
{
    StoreGeometry();
    QString target = path;
    const bool asked = target.isEmpty();
    if (asked) {
        target =
            m_dialogs->ShowSaveDialog(kJobFilter, QStringLiteral("Save Job"), QString(), QString());
        if (target.isEmpty())
            return false;
    }
    QString error;
    if (WriteJobFile(target, CurrentJob(), &error))
        return true;
    // The default job is kept silently; a job the user named must say when it was not saved.
    if (asked) {
        m_dialogs->ShowMessage(SaveFailureText(QStringLiteral("job"), target, error),
                               QStringLiteral("Save Job"), MessageIcon::Critical,
                               MessageButtons::Ok, MessageResult::Ok);
    }
    return false;
}

bool MainFrm::LoadJob(const QString& path)
{
    NewJob();
    Job job = CurrentJob();
    if (!ReadJobFile(path, job))
        return false;
    ApplyJob(job);
    return true;
}

void MainFrm::OpenJob()
{
    const QString path =
        m_dialogs->ShowOpenDialog(kJobFilter, QStringLiteral("Open Job"), QString());
    if (path.isEmpty())
        return;
    NewJob();
    Job job = CurrentJob();
    QString error;
    if (!ReadJobFile(path, job, &error)) {
        m_dialogs->ShowMessage(QStringLiteral("The job could not be read from ") + path +
                                   QStringLiteral(".\r\n") + error,
                               QStringLiteral("Open Job"), MessageIcon::Critical,
                               MessageButtons::Ok, MessageResult::Ok);
        return;
    }
    ApplyJob(job);
}

void MainFrm::SaveAs()
{
    int chosen = -1;
    const QString path = m_dialogs->ShowSaveDialogChoosing(kSaveAsFilter, QStringLiteral("Save As"),
                                                           QString(), QString(), &chosen);
    if (path.isEmpty())
        return;
    // A name that says ".txt" or ".rtf" is still taken at its word.
    if (chosen == kInteractivePageFilter && (SaveFormatForPath(path) == SaveFormat::Html ||
                                             SaveFormatForPath(path) == SaveFormat::None)) {
        SaveWebPage(path);
        return;
    }
    QString error;
    bool saved = true;
    // A large report takes a while to write: repaints and timers go on meanwhile, but no
    // input, so the report cannot change under the writer.
    const std::function<void()> paint = ThrottledYield(20, false);
    switch (SaveFormatForPath(path)) {
    case SaveFormat::PlainText:
        saved = SavePlainTextFile(*rTxt->document(), path, &error, paint);
        break;
    case SaveFormat::RichText:
        saved = SaveRtfFile(*rTxt->document(), path, &error, paint);
        break;
    case SaveFormat::Html: {
        HtmlFrm form(this);
        form.HtmlFileName = path;
        // The report this window shows, not whatever another process left in tmpfile.dmp.
        const QString shown = m_report->path();
        form.stagingPath = shown.isEmpty() ? StagingPath() : shown;
        form.fontName = cmbFont->currentText();
        form.fontSize = m_fontSize;
        form.lineCount = rTxt->document()->blockCount();
        if (m_yieldHook)
            form.yield = m_yieldHook;
        CentreWindow(&form);
        form.exec();
        saved = form.succeeded();
        error = form.errorString();
        break;
    }
    case SaveFormat::None:
        // Nothing is written for a name the program cannot tell a format from; say so rather
        // than leave the user believing the report was saved.
        m_dialogs->ShowMessage(QStringLiteral("Nothing was saved: ") +
                                   OutputNameRefusal(path, kSaveAsOutputs) + QLatin1Char('.'),
                               QStringLiteral("Save As"), MessageIcon::Information,
                               MessageButtons::Ok, MessageResult::Ok);
        return;
    }
    if (!saved) {
        m_dialogs->ShowMessage(SaveFailureText(QStringLiteral("report"), path, error),
                               QStringLiteral("Save As"), MessageIcon::Critical, MessageButtons::Ok,
                               MessageResult::Ok);
    }
}

void MainFrm::HelpTopics()
{
    const QString page = FindHelpPage(QCoreApplication::applicationDirPath());
    // The message names the page, so the user can open it by hand where no browser is set up.
    QString message;
    if (page.isEmpty()) {
        message = QStringLiteral("The help page could not be found: it is installed as "
                                 "share/quillon/help/index.html beside the program's folder.");
    } else if (!QDesktopServices::openUrl(QUrl::fromLocalFile(page))) {
        message = QStringLiteral("The help page %1 could not be opened: no web browser is set up "
                                 "to show it. Open it in a browser by hand.")
                      .arg(QDir::toNativeSeparators(page));
    }
    if (!message.isEmpty()) {
        m_dialogs->ShowMessage(message, QStringLiteral("Help Topics"), MessageIcon::Information,
                               MessageButtons::Ok, MessageResult::Ok);
    }
}

} // namespace quillon
