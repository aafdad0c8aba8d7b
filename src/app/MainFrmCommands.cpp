// The main window's commands that drive the engine: the scan, the job files, Save As, help.
#include "app/MainFrm.h"

#include "app/CentreWindow.h"
#include "app/HelpPage.h"
#include "app/HtmlFrm.h"
#include "app/JobFile.h"
#include "output/Dialogs.h"
#include "output/SaveFormat.h"
#include "platform/RtfFiles.h"
#include "report/LayoutContext.h"
#include "report/Layouts.h"
#include "report/OwnStaging.h"
#include "scan/BuzTimer.h"
#include "scan/ScanRun.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>

namespace quillon {

namespace {

const QString kJobFilter = QStringLiteral("Quillon|*.qjb");
const QString kSaveAsFilter = QStringLiteral(
    "Rich text format(*.rtf)|*.rtf|Text file(*.txt)|*.txt|Webpage HTML(*.htm)|*.htm");

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
    hooks.progress.yield = [this] {
        if (m_yieldHook)
            m_yieldHook();
    };
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
    hooks.started = [this] {
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
    };
    hooks.setScanningState = [this](bool idle) { SetScanningState(idle); };
    hooks.layout = [this](ReportType type, const RecordList& records, ScanCounters& counters,
                          bool* cancel) { RunLayoutStep(type, records, counters, cancel); };
    hooks.finished = [this](const ScanCounters& counters, bool cancelled) {
        m_counters = counters;
        SetPanelText(1, cancelled ? QStringLiteral("Scan Terminated.") : QStringLiteral("Ready"));
        SetScanningState(true);
        m_panels[2]->show();
        m_panels[3]->show();
        SetPanelText(3, QStringLiteral("Files : ") + QString::number(counters.files));
        SetPanelText(4, QStringLiteral("Folders : ") + QString::number(counters.folders));
        Timer1->stop();
    };

    m_run->Run(Locations(), Exclusions(), SelectedReportType(), hooks);

    // Whatever way the run ended, the window is idle again and the clock stands still.
    if (m_scanning)
        SetScanningState(true);
    Timer1->stop();
    if (m_closePending) {
        m_closePending = false;
        QTimer::singleShot(0, this, &QWidget::close);
    }
}

void MainFrm::RunLayoutStep(ReportType type, const RecordList& records, ScanCounters& counters,
                            bool* cancel)
{
    LayoutContext context;
    context.records = &records;
    context.settings = Settings();
    context.font.name = cmbFont->currentText();
    context.font.sizeText = cmbFontSize->currentText();
    context.font.colour = m_reportColour;
    context.sort.key = cmbSort->currentText();
    context.sort.ascending = optAsc->isChecked();
    for (const ScanLocation& location : Locations())
        context.locations.push_back(QFile::encodeName(location.path).toStdString());
    // Laid out into a file of this scan's own, so another process replacing tmpfile.dmp
    // cannot put its report into this window.
    auto staging = std::make_unique<OwnStaging>(StagingPath());
    context.stagingPath = staging->path();
    context.progress.yield = [this] {
        if (m_yieldHook)
            m_yieldHook();
    };
    context.progress.status = [this](const QString& text) { SetPanelText(1, text); };
    context.decide = [this](const ErrorReport& report) { return AskAboutError(report); };
    context.cancel = cancel;
    context.counters = &counters;
    const bool written = RunLayout(type, context);
    if (written && LoadReportIntoPane(staging->path())) {
        staging->publish(); // tmpfile.dmp is only a copy for others; the window keeps its own
        m_report = std::move(staging);
    }
}

bool MainFrm::LoadReportIntoPane(const QString& stagingPath)
{
    QString error;
    // The report is built in a document of its own and then shown whole, so the load is one
    // change for Undo and a failed load leaves the pane as it was.
    auto report = std::make_unique<QTextDocument>();
    report->setDefaultFont(rTxt->font());
    const bool loaded = LoadRtfFile(stagingPath, report.get(), &error);
    if (loaded)
        ReplacePaneDocument(std::move(report));
    rTxt->setLineWrapMode(QTextEdit::NoWrap);
    if (!loaded) {
        m_dialogs->ShowMessage(QStringLiteral("The report could not be shown: ") + error,
                               QStringLiteral("Error"), MessageIcon::Critical, MessageButtons::Ok,
                               MessageResult::Ok);
    }
    return loaded;
}

void MainFrm::CancelScan()
{
    if (!m_scanning)
        return;
    const MessageResult answer =
        m_dialogs->ShowMessage(QStringLiteral("Are you sure to cancel scanning of directories?"),
                               QStringLiteral("Cancel Search"), MessageIcon::Question,
                               MessageButtons::YesNo, MessageResult::No);
    if (answer == MessageResult::Yes)
        m_run->Cancel();
}

Job MainFrm::CurrentJob() const
{
    Job job;
    job.type = SelectedReportType();
    job.sortKey = cmbSort->currentText();
    job.ascending = optAsc->isChecked();
    job.fontName = cmbFont->currentText();
    job.fontSize = cmbFontSize->currentText();
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
        m_dialogs->ShowMessage(QStringLiteral("The job could not be saved to ") + target +
                                   QStringLiteral(".\r\n") + error,
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
    const QString path =
        m_dialogs->ShowSaveDialog(kSaveAsFilter, QStringLiteral("Save As"), QString(), QString());
    if (path.isEmpty())
        return;
    QString error;
    bool saved = true;
    switch (SaveFormatForPath(path)) {
    case SaveFormat::PlainText:
        saved = SavePlainTextFile(*rTxt->document(), path, &error);
        break;
    case SaveFormat::RichText:
        saved = SaveRtfFile(*rTxt->document(), path, &error);
        break;
    case SaveFormat::Html: {
        HtmlFrm form(this);
        form.HtmlFileName = path;
        // The report this window shows, not whatever another process left in tmpfile.dmp.
        form.stagingPath = m_report ? m_report->path() : StagingPath();
        form.fontName = cmbFont->currentText();
        form.fontSize = cmbFontSize->currentText();
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
        m_dialogs->ShowMessage(QStringLiteral("Nothing was saved: the file name must end in "
                                              ".rtf, .txt or .htm."),
                               QStringLiteral("Save As"), MessageIcon::Information,
                               MessageButtons::Ok, MessageResult::Ok);
        return;
    }
    if (!saved) {
        m_dialogs->ShowMessage(QStringLiteral("The report could not be saved to ") + path +
                                   QStringLiteral(".\r\n") + error,
                               QStringLiteral("Save As"), MessageIcon::Critical, MessageButtons::Ok,
                               MessageResult::Ok);
    }
}

void MainFrm::HelpTopics()
{
    const QString page = FindHelpPage(QCoreApplication::applicationDirPath());
    if (page.isEmpty() || !QDesktopServices::openUrl(QUrl::fromLocalFile(page))) {
        m_dialogs->ShowMessage(QStringLiteral("The help page could not be opened."),
                               QStringLiteral("Help Topics"), MessageIcon::Information,
                               MessageButtons::Ok, MessageResult::Ok);
    }
}

} // namespace quillon
