#pragma once

#include "app/WindowGeometry.h"
#include "output/PageMargins.h"
#include "platform/ErrorReport.h"
#include "report/ReportSettings.h"
#include "report/ReportType.h"
#include "scan/ExclusionList.h"
#include "scan/ScanCounters.h"
#include "scan/ScanLocation.h"

#include <QMainWindow>
#include <functional>
#include <memory>

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QMenu;
class QPrinter;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QTextDocument;
class QTextEdit;
class QTimer;
class QToolBar;
class QTreeWidget;
class QTreeWidgetItem;

namespace quillon {

class CompactText;
class Dialogs;
class EditHistory;
class ExcludeFrm;
class ScanRun;
class SettingsFrm;
class ShownStaging;
struct ReportChoices;
class RecordList;
class buzTimer;
struct Job;
struct ListingHeader;

/// The main window: the job's scan locations, the report type and sort, the report pane with
/// its formatting bar, the tool bars, the five-panel status bar and the menus. It runs the
/// scan, the job commands and Save As, and keeps the window's size between runs.
class MainFrm : public QMainWindow {
    Q_OBJECT
public:
    /// dialogs answers every modal question (the window's own Qt dialogs when null). The
    /// start-up sequence runs here: settings, exclusion list, stored geometry, margins, font
    /// boxes, the default job.
    explicit MainFrm(Dialogs* dialogs = nullptr, QWidget* parent = nullptr);
    ~MainFrm() override;

    // Commands, as the menus and tool bars run them.
    void NewJob();
    /// The Scan command; returns when the report is in the pane (or the run was given up).
    void Scan();
    /// Asks whether to stop the running scan; Yes sets the cancel flag.
    void CancelScan();
    /// Switches between idle (true) and scanning (false).
    void SetScanningState(bool idle);
    void OpenJob();
    /// Writes the job to path; asks for a path when it is empty. False when nothing was written.
    bool SaveJob(const QString& path = {});
    /// Replaces the current job by the one in the file (New Job first).
    bool LoadJob(const QString& path);
    void SaveAs();
    /// Writes the last scan's records as a CSV or JSON listing (File > Export Listing...).
    void ExportListing();
    /// Save As with "Web page, interactive": the last scan's records as the page to browse.
    void SaveWebPage(const QString& path);
    /// Compares a chosen JSON listing with the last scan and shows the result in the pane.
    void CompareWithListing();
    /// Lays a chosen JSON listing out as the window's report type and shows it in the pane, as
    /// a scan's report (File > Open Listing...).
    void OpenListing();
    void HelpTopics();
    /// Opens the report settings dialog modally (nothing while a scan runs).
    void ShowSettings();
    /// The Print command: the printer dialog, then the whole report inside the margins.
    void Print();
    /// The Page Setup command: paper and margins, shown in the user's unit, kept in twips.
    void PageSetup();
    /// Adds or changes a scan location through the location dialog (nothing while a scan runs).
    void AddFolders();
    /// Removes the selected scan location (nothing while a scan runs).
    void RemoveFolder();
    /// Opens the exclusion list dialog modally (nothing while a scan runs).
    void ShowExclusions();

    /// The job as the controls hold it, and the other way round.
    Job CurrentJob() const;
    void ApplyJob(const Job& job);

    ScanLocationList Locations() const;
    /// Adds a location row, or changes the row with the same path.
    void AddLocation(const ScanLocation& location);
    ReportType SelectedReportType() const;
    void SelectReportType(ReportType type);

    /// Status bar panel 1 to 5.
    void SetPanelText(int panel, const QString& text);

    bool IsScanning() const;
    /// What the next scan leaves out: the exclusion dialog's lists as they stand.
    ExclusionList Exclusions() const;
    /// The report settings the layouts use: the settings dialog's current values.
    ReportSettings Settings() const;

    /// The staging file the layouts write and the pane loads.
    static QString StagingPath();
    /// The default job restored at start and written at every scan and at close.
    static QString DefaultJobPath();

    // Controls, named as their objectNames; public only for the tests and benchmarks that drive it.
    QTreeWidget* SearchList;
    QPushButton* cmdAdd;
    QPushButton* cmdRemove;
    QPushButton* cmdExclude;
    QGroupBox* FrameRepType;
    QRadioButton* Opt1;
    QRadioButton* Opt2;
    QRadioButton* Opt3;
    QRadioButton* Opt4;
    QGroupBox* Frame1;
    QLabel* Label1;
    QComboBox* cmbSort;
    QRadioButton* optAsc;
    QRadioButton* optDesc;
    QWidget* Picture1;
    QToolBar* Toolbar2;
    QComboBox* cmbFont;
    QComboBox* cmbFontSize;
    QLabel* Label2;
    QTextEdit* rTxt;
    QToolBar* Toolbar1;
    QStatusBar* StatusBar1;
    QTimer* Timer1;

    QMenu* mnuFile;
    QMenu* mnuEdit;
    QMenu* mnuHelp;
    QAction* mnuScan;
    QAction* mnuCancel;
    QAction* mnuNew;
    QAction* mnuOpen;
    QAction* mnuSave;
    QAction* mnuSaveAs;
    QAction* mnuExportListing;
    QAction* mnuCompare;
    QAction* mnuOpenListing;
    QAction* mnuPageSetup;
    QAction* mnuPrint;
    QAction* mnuClose;
    QAction* mnuUndo;
    QAction* mnuRedo;
    QAction* mnuCut;
    QAction* mnuCopy;
    QAction* mnuPaste;
    QAction* mnuDelete;
    QAction* mnuFind;
    QAction* mnuFindReplace;
    QAction* mnuSelect;
    QAction* mnuOptions;
    QAction* mnuHelpTopics;

    // Report editing commands (MainFrmEditing.cpp).
    void Undo();
    void Redo();
    void CutText();
    void CopyText();
    void PasteText();
    void DeleteText();
    void SelectAllText();
    /// Opens the find and replace dialog over the report pane.
    void ShowFind();
    /// Sets the bold, italic and underline buttons from the pane's selection.
    void UpdateToggles();
    /// Replaces the pane's whole content by document; the change can be undone. source is the
    /// rich text it was loaded from, when there is one (Undo keeps that instead).
    void ReplacePaneDocument(std::unique_ptr<QTextDocument> document,
                             std::shared_ptr<const CompactText> source = {});

    // Observers for tests and benchmarks, not used by the program itself.
    /// Status bar panel 1 to 5: text and whether it is shown.
    QString PanelText(int panel) const;
    bool PanelVisible(int panel) const;
    /// True while a finished report is being built for the pane (benchmarks tell the phase).
    bool LoadingReport() const { return m_loading; }
    /// The scan's cancel flag (set by Cancel answered Yes, or by Abort).
    bool CancelRequested() const;
    const ScanCounters& Counters() const { return m_counters; }
    const PageMargins& Margins() const { return m_margins; }
    /// The report pane's undo history.
    EditHistory& History() { return *m_history; }
    /// Replaces the yield hook of long loops (ThrottledYield by default), to stop a run at a
    /// chosen moment.
    void SetYieldHook(std::function<void()> yield) { m_yieldHook = std::move(yield); }
    /// Returns once the shown report is published as the shared staging file and the files of
    /// the reports before it are deleted (done on a thread of their own).
    void SettleReportFiles();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildMenus();
    void BuildToolbars();
    void BuildControls();
    void BuildLocationList(QWidget* central);
    void BuildLocationButtons(QWidget* central);
    void BuildReportTypeFrame(QWidget* central);
    void BuildSortFrame();
    void BuildFormatBar(QWidget* central);
    void BuildReportPane(QWidget* central);
    void BuildStatusBar();
    void StartUp();
    void LayoutControls();
    void CloseSequence();
    void StoreGeometry();
    /// Notes the place and size the window has while it is neither maximised nor minimised.
    void NoteNormalPlace();
    /// Brings the whole frame, title bar and borders included, onto the screen's work area.
    void FitFrameToScreen();
    void UpdateRemoveButton();
    void SetLocationRow(QTreeWidgetItem* item, const ScanLocation& location);
    void ReportTypeClicked();
    void ApplyFontName(const QString& name);
    void ApplyFontSize(const QString& size);
    void ChooseColour();
    void TimerTick();
    /// The scan's yield: lets the events run, and gives the run up once the window is closing.
    void YieldInScan();
    /// What a scan does in the window as its walk begins and once it has ended.
    void ScanStarted();
    void ScanFinished(const ScanCounters& counters, bool cancelled);
    void RunLayoutStep(ReportType type, const RecordList& records, ScanCounters& counters,
                       bool* cancel);
    bool LoadReportIntoPane(const QString& stagingPath);
    struct PaneLoad;
    struct FollowedLoad;
    /// Waits for load's document and shows it; whole, when given, says whether the document
    /// was read from the whole file at stagingPath (when not, that file is loaded instead).
    bool ShowLoadedReport(PaneLoad& load, const QString& stagingPath,
                          const std::function<bool()>& whole = {});
    void TellReportNotShown(const QString& error);
    ErrorChoice AskAboutError(const ErrorReport& report);
    /// The listing commands run busy as a scan does: the window's events run, its commands
    /// wait, Cancel (F6) stops the command, a close waits for its end. The returned check
    /// lets the events run and says whether to go on; BusyCommandEnded, after
    /// SetScanningState(true), says whether a close or Cancel ended the command (and acts).
    std::function<bool()> BeginBusyCommand();
    bool BusyCommandEnded(const QString& command);
    /// Open Listing's steps: its message box, the report choices, the notes on what is missing.
    bool OpenListingEnded(bool read, const QString& error);
    void TellOpenListing(const QString& text);
    ReportChoices ListingReportChoices();
    void NoteListingGaps(QStringList notes, std::size_t unread, const QString& firstUnread);
    double Dpi() const;
    void BuildEditing();
    void ApplyToggle(QAction* toggle);
    bool eventFilter(QObject* watched, QEvent* event) override;
    QPrinter& Printer();

    std::unique_ptr<Dialogs> m_ownDialogs;
    Dialogs* m_dialogs;
    std::unique_ptr<ScanRun> m_run;
    QStringList m_unreadableDetails; ///< "path: reason" of details the last layout could not read
    std::unique_ptr<ShownStaging> m_report; ///< staging file of the report shown (HTML export)
    std::unique_ptr<buzTimer> m_stopwatch;
    std::function<void()> m_yieldHook;
    QList<QLabel*> m_panels;
    QAction* m_boldAction = nullptr;
    QAction* m_italicAction = nullptr;
    QAction* m_underlineAction = nullptr;
    QAction* m_findButton = nullptr;
    QAction* m_undoButton = nullptr;
    QAction* m_redoButton = nullptr;
    QAction* m_colourButton = nullptr;
    std::unique_ptr<EditHistory> m_history;
    /// The job, settings and start time of the scan whose records the run holds: a listing
    /// describes that scan, not the window as it stands when the listing is made.
    std::unique_ptr<ListingHeader> m_scanHeader;
    /// The place of the frame's corner and the size of the inside, as the window last had them
    /// in the normal state: what closing stores and the next start restores. Tracked here, as
    /// the frame a window manager draws around a maximised window differs from the normal one.
    QRect m_normalPlace;
    QPoint m_placeAsked;         ///< the frame's corner start-up asked for
    bool m_frameFitted = false;  ///< the first show has asked for the frame to be fitted
    bool m_framePending = false; ///< the fit waits for the window manager's frame
    ScanCounters m_counters;
    PageMargins m_margins;
    std::unique_ptr<QPrinter> m_printer;  ///< made on first use; kept with the user's choices
    SettingsFrm* m_settingsFrm = nullptr; ///< loaded hidden at start, kept for the whole run
    ExcludeFrm* m_excludeFrm = nullptr;   ///< loaded hidden at start, kept for the whole run
    quint32 m_reportColour = 0;
    QString m_fontSize = QStringLiteral("10"); ///< the last valid text of cmbFontSize
    bool m_scanning = false;
    bool m_closePending = false;
    bool m_listingCancelled = false; ///< Cancel answered Yes while a listing command runs
    bool m_loading = false;
    bool m_closed = false;
};

} // namespace quillon
