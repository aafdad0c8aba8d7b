#include "app/MainFrm.h"

#include "app/ExcludeFrm.h"
#include "app/QtDialogs.h"
#include "app/ReportPane.h"
#include "app/ResourceIcon.h"
#include "app/ScanRun.h"
#include "app/SettingsFrm.h"
#include "app/ShownStaging.h"
#include "app/Twips.h"
#include "listing/ListingSource.h"
#include "output/EditHistory.h"
#include "platform/CommandSteps.h"
#include "platform/ProgramFolder.h"
#include "platform/ProgramNames.h"
#include "platform/SettingsStore.h"
#include "platform/ThrottledYield.h"
#include "scan/BuzTimer.h"

#include <QAction>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMoveEvent>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QScreen>
#include <QStatusBar>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>

// The icons live in the application library; a static library's resources must be registered.
static void InitResources()
{
    Q_INIT_RESOURCE(quillon);
}

namespace quillon {

namespace {

const QString kIdleMessage =
    QStringLiteral("Add search path and click on the scan button to start search.");

// Column of SearchList that holds the row's icon number (3 scan, 4 excluded).
constexpr int kIconRole = Qt::UserRole + 1;

// A menu command as the window runs it.
using Command = void (*)(MainFrm&);

template <auto Method> void Run(MainFrm& window)
{
    (window.*Method)();
}

// The menu bar from left to right (the rows of kMenuTitles); Settings stands on the bar itself.
enum class MenuOf { File, Edit, Bar, Help };

struct MenuTitle {
    QMenu* MainFrm::*menu;
    const char* name;
    const char* title;
};

const MenuTitle kMenuTitles[] = {{&MainFrm::mnuFile, "mnuFile", "&File"},
                                 {&MainFrm::mnuEdit, "mnuEdit", "&Edit"},
                                 {nullptr, nullptr, nullptr},
                                 {&MainFrm::mnuHelp, "mnuHelp", "&Help"}};

// One row per menu entry, in menu order.
struct MenuEntry {
    MenuOf menu;
    QAction* MainFrm::*action; // nullptr: a separator
    const char* name;
    const char* text;
    const char* key = nullptr;  // shortcut, as Qt writes it
    Command run = nullptr;      // nullptr: an editing command, connected by BuildEditing
    const char* icon = nullptr; // picture, which the tool bar shows too
};

const MenuEntry kMenuEntries[] = {
    {MenuOf::File, &MainFrm::mnuScan, "mnuScan", "Scan", "F5", Run<&MainFrm::Scan>, "scan"},
    {MenuOf::File, &MainFrm::mnuCancel, "mnuCancel", "Cancel", "F6", Run<&MainFrm::CancelScan>,
     "cancel"},
    {MenuOf::File, nullptr, nullptr, nullptr},
    {MenuOf::File, &MainFrm::mnuNew, "mnuNew", "New Job", "Ctrl+N", Run<&MainFrm::NewJob>},
    {MenuOf::File, &MainFrm::mnuOpen, "mnuOpen", "Open Job", "Ctrl+O", Run<&MainFrm::OpenJob>},
    {MenuOf::File, &MainFrm::mnuSave, "mnuSave", "Save Job", "Ctrl+S",
     [](MainFrm& window) { window.SaveJob(); }},
    {MenuOf::File, nullptr, nullptr, nullptr},
    {MenuOf::File, &MainFrm::mnuSaveAs, "mnuSaveAs", "Save As", nullptr, Run<&MainFrm::SaveAs>,
     "saveas"},
    {MenuOf::File, &MainFrm::mnuOpenListing, "mnuOpenListing", "Open Listing...", nullptr,
     Run<&MainFrm::OpenListing>},
    {MenuOf::File, &MainFrm::mnuExportListing, "mnuExportListing", "Export Listing...", nullptr,
     Run<&MainFrm::ExportListing>},
    {MenuOf::File, &MainFrm::mnuCompare, "mnuCompare", "Compare With Listing...", nullptr,
     Run<&MainFrm::CompareWithListing>},
    {MenuOf::File, nullptr, nullptr, nullptr},
    {MenuOf::File, &MainFrm::mnuPageSetup, "mnuPageSetup", "Page Setup", nullptr,
     Run<&MainFrm::PageSetup>},
    {MenuOf::File, &MainFrm::mnuPrint, "mnuPrint", "Print...", "Ctrl+P", Run<&MainFrm::Print>,
     "print"},
    {MenuOf::File, nullptr, nullptr, nullptr},
    {MenuOf::File, &MainFrm::mnuClose, "mnuClose", "Close", nullptr, Run<&QWidget::close>},
    {MenuOf::Edit, &MainFrm::mnuUndo, "mnuUndo", "Undo", "Ctrl+Z"},
    {MenuOf::Edit, &MainFrm::mnuRedo, "mnuRedo", "Redo", "Ctrl+Y"},
    {MenuOf::Edit, nullptr, nullptr, nullptr},
    {MenuOf::Edit, &MainFrm::mnuCut, "mnuCut", "Cut", "Ctrl+X"},
    {MenuOf::Edit, &MainFrm::mnuCopy, "mnuCopy", "Copy", "Ctrl+C"},
    {MenuOf::Edit, &MainFrm::mnuPaste, "mnuPaste", "Paste", "Ctrl+V"},
    {MenuOf::Edit, &MainFrm::mnuDelete, "mnuDelete", "Delete", "Del"},
    {MenuOf::Edit, nullptr, nullptr, nullptr},
    {MenuOf::Edit, &MainFrm::mnuFind, "mnuFind", "Find", "Ctrl+F"},
    {MenuOf::Edit, &MainFrm::mnuFindReplace, "mnuFindReplace", "Find and Replace", "Ctrl+H"},
    {MenuOf::Edit, nullptr, nullptr, nullptr},
    {MenuOf::Edit, &MainFrm::mnuSelect, "mnuSelect", "Select All", "Ctrl+A"},
    {MenuOf::Bar, &MainFrm::mnuOptions, "mnuOptions", "Settings", nullptr,
     Run<&MainFrm::ShowSettings>},
    {MenuOf::Help, &MainFrm::mnuHelpTopics, "mnuHelpTopics", "Help Topics", nullptr,
     Run<&MainFrm::HelpTopics>},
};

QAction* MakeMenuAction(MainFrm& window, const MenuEntry& entry)
{
    auto* action = new QAction(QString::fromLatin1(entry.text), &window);
    action->setObjectName(QString::fromLatin1(entry.name));
    if (entry.key)
        action->setShortcut(
            QKeySequence(QString::fromLatin1(entry.key), QKeySequence::PortableText));
    if (entry.icon)
        action->setIcon(ResourceIcon(QString::fromLatin1(entry.icon)));
    if (entry.run)
        QObject::connect(action, &QAction::triggered, &window,
                         [&window, run = entry.run] { run(window); });
    return action;
}

// The menu of title on the window's menu bar; null for the entries that stand on the bar.
QMenu* AddMenu(MainFrm& window, const MenuTitle& title)
{
    if (!title.menu)
        return nullptr;
    QMenu* menu = window.menuBar()->addMenu(QString::fromLatin1(title.title));
    menu->setObjectName(QString::fromLatin1(title.name));
    window.*title.menu = menu;
    return menu;
}

} // namespace

MainFrm::MainFrm(Dialogs* dialogs, QWidget* parent)
    : QMainWindow(parent), m_dialogs(dialogs), m_run(std::make_unique<ScanRun>()),
      m_report(std::make_unique<ShownStaging>())
{
    InitResources();
    if (!m_dialogs) {
        m_ownDialogs = std::make_unique<QtDialogs>(this);
        m_dialogs = m_ownDialogs.get();
    }
    setObjectName(QStringLiteral("MainFrm"));
    setWindowTitle(kProgramName + QStringLiteral(" v" QUILLON_VERSION));
    setWindowIcon(ResourceIcon(QStringLiteral("quillon")));
    m_yieldHook = ThrottledYield();

    BuildMenus();
    BuildToolbars();
    BuildControls();
    BuildStatusBar();
    StartUp();
}

MainFrm::~MainFrm()
{
    // A window destroyed without being closed (tests, a program that quits) still stores its
    // geometry and default job, as closing it does.
    if (!m_closed)
        CloseSequence();
    // The pane gives back the history's document before the history goes.
    rTxt->disconnect(this);
    rTxt->setDocument(nullptr);
}

void MainFrm::BuildMenus()
{
    for (const MenuEntry& entry : kMenuEntries) {
        if (entry.action)
            this->*entry.action = MakeMenuAction(*this, entry);
    }
    const MenuTitle* title = nullptr;
    QMenu* menu = nullptr;
    for (const MenuEntry& entry : kMenuEntries) {
        if (title != &kMenuTitles[static_cast<int>(entry.menu)]) {
            title = &kMenuTitles[static_cast<int>(entry.menu)];
            menu = AddMenu(*this, *title);
        }
        if (!entry.action)
            menu->addSeparator();
        else if (menu)
            menu->addAction(this->*entry.action);
        else
            menuBar()->addAction(this->*entry.action);
    }
    mnuCancel->setEnabled(false);
}

void MainFrm::BuildToolbars()
{
    Toolbar1 = addToolBar(QStringLiteral("Main"));
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1->setMovable(false);
    Toolbar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    Toolbar1->addAction(mnuScan);
    Toolbar1->addAction(mnuCancel);
    Toolbar1->addSeparator();
    Toolbar1->addAction(mnuSaveAs);
    Toolbar1->addAction(mnuPrint);
    // The menu bar shows "Settings" as a word; its tool bar button carries the picture and
    // follows the menu entry's state.
    QAction* settings =
        Toolbar1->addAction(ResourceIcon(QStringLiteral("settings")), mnuOptions->text());
    settings->setObjectName(QStringLiteral("tbSettings"));
    auto follow = [this, settings] {
        settings->setEnabled(mnuOptions->isEnabled());
        settings->setToolTip(mnuOptions->toolTip());
    };
    connect(mnuOptions, &QAction::changed, settings, follow);
    connect(settings, &QAction::triggered, mnuOptions, &QAction::trigger);
    follow();
}

void MainFrm::BuildControls()
{
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("central"));
    setCentralWidget(central);

    BuildLocationList(central);
    BuildLocationButtons(central);
    BuildReportTypeFrame(central);
    BuildSortFrame();
    BuildFormatBar(central);
    BuildReportPane(central);

    // Tab visits the controls in the order they stand, from the location list down to the pane;
    // each set of choices is one stop, and the arrow keys move within it.
    const QList<QWidget*> order = {SearchList, cmdAdd,  cmdRemove,   cmdExclude, Opt1,
                                   Opt2,       Opt3,    Opt4,        cmbSort,    optAsc,
                                   optDesc,    cmbFont, cmbFontSize, rTxt};
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &MainFrm::TimerTick);
}

void MainFrm::BuildLocationList(QWidget* central)
{
    SearchList = new QTreeWidget(central);
    SearchList->setObjectName(QStringLiteral("SearchList"));
    SearchList->setColumnCount(4);
    SearchList->setHeaderLabels({QStringLiteral("Scan Locations"), QStringLiteral("Sub Folders"),
                                 QStringLiteral("Filter"), QStringLiteral("Level")});
    SearchList->setRootIsDecorated(false);
    SearchList->setUniformRowHeights(true);
    SearchList->header()->setStretchLastSection(true);
    SearchList->setColumnWidth(0, 170);
    SearchList->setColumnWidth(1, 80);
    SearchList->setColumnWidth(2, 60);
}

void MainFrm::BuildLocationButtons(QWidget* central)
{
    auto makeButton = [central](const QString& name, const QString& tip, const QString& image) {
        auto* button = new QPushButton(central);
        button->setObjectName(name);
        button->setToolTip(tip);
        button->setIcon(ResourceIcon(image));
        return button;
    };
    cmdAdd = makeButton(QStringLiteral("cmdAdd"), QStringLiteral("Add scan location"),
                        QStringLiteral("add"));
    cmdRemove = makeButton(QStringLiteral("cmdRemove"), QStringLiteral("Remove scan location"),
                           QStringLiteral("remove"));
    cmdExclude = makeButton(QStringLiteral("cmdExclude"), QStringLiteral("Exclusion list"),
                            QStringLiteral("exclude"));
    cmdRemove->setEnabled(false);
    connect(cmdAdd, &QPushButton::clicked, this, &MainFrm::AddFolders);
    connect(cmdRemove, &QPushButton::clicked, this, &MainFrm::RemoveFolder);
    connect(cmdExclude, &QPushButton::clicked, this, &MainFrm::ShowExclusions);
}

void MainFrm::BuildReportTypeFrame(QWidget* central)
{
    FrameRepType = new QGroupBox(QStringLiteral("Report type"), central);
    FrameRepType->setObjectName(QStringLiteral("FrameRepType"));
    Opt1 = new QRadioButton(QStringLiteral("List In Details"), FrameRepType);
    Opt2 = new QRadioButton(QStringLiteral("Tree view"), FrameRepType);
    Opt3 = new QRadioButton(QStringLiteral("Tree view with file size"), FrameRepType);
    Opt4 = new QRadioButton(QStringLiteral("Folder list"), FrameRepType);
    // An explicit exclusive group: left to themselves, radio buttons look for their partners
    // among every button inside the frame, the sort direction's too, and a click on the chosen
    // report type could then uncheck it and leave no report type at all.
    auto* group = new QButtonGroup(FrameRepType);
    group->setObjectName(QStringLiteral("ReportTypeGroup"));
    group->setExclusive(true);
    const QList<QRadioButton*> options = {Opt1, Opt2, Opt3, Opt4};
    for (int i = 0; i < options.size(); ++i) {
        options[i]->setObjectName(QStringLiteral("Opt%1").arg(i + 1));
        options[i]->setGeometry(10, 20 + i * 22, 190, 22);
        group->addButton(options[i], i + 1);
        connect(options[i], &QRadioButton::clicked, this, &MainFrm::ReportTypeClicked);
    }
    Opt1->setChecked(true);
}

// Sits inside the report type frame, beside the four choices.
void MainFrm::BuildSortFrame()
{
    Frame1 = new QGroupBox(FrameRepType);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(200, 14, 150, 100);
    Label1 = new QLabel(QStringLiteral("Sort by"), Frame1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(8, 8, 60, 22);
    cmbSort = new QComboBox(Frame1);
    cmbSort->setObjectName(QStringLiteral("cmbSort"));
    cmbSort->setEditable(true);
    cmbSort->addItems({QStringLiteral("Name"), QStringLiteral("Size"), QStringLiteral("Date")});
    cmbSort->setGeometry(60, 6, 84, 24);
    optAsc = new QRadioButton(QStringLiteral("Ascending"), Frame1);
    optAsc->setObjectName(QStringLiteral("optAsc"));
    optAsc->setGeometry(8, 36, 140, 22);
    optAsc->setChecked(true);
    optDesc = new QRadioButton(QStringLiteral("Deascending"), Frame1);
    optDesc->setObjectName(QStringLiteral("optDesc"));
    optDesc->setGeometry(8, 60, 140, 22);
    auto* group = new QButtonGroup(Frame1);
    group->setObjectName(QStringLiteral("SortDirectionGroup"));
    group->setExclusive(true);
    group->addButton(optAsc);
    group->addButton(optDesc);
}

void MainFrm::BuildFormatBar(QWidget* central)
{
    Picture1 = new QWidget(central);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Toolbar2 = new QToolBar(Picture1);
    Toolbar2->setObjectName(QStringLiteral("Toolbar2"));
    Toolbar2->setIconSize(QSize(16, 16));
    const auto button = [this](const char* icon, const char* text) {
        return Toolbar2->addAction(ResourceIcon(QLatin1String(icon)), QLatin1String(text));
    };
    m_findButton = button("find", "Find");
    m_undoButton = button("undo", "Undo");
    m_redoButton = button("redo", "Redo");
    Toolbar2->addSeparator();
    m_boldAction = button("bold", "Bold");
    m_italicAction = button("italic", "Italic");
    m_underlineAction = button("underline", "Underline");
    m_colourButton = button("colour", "Colour");
    for (QAction* toggle : {m_boldAction, m_italicAction, m_underlineAction})
        toggle->setCheckable(true);

    cmbFont = new QComboBox(Picture1);
    cmbFont->setObjectName(QStringLiteral("cmbFont"));
    cmbFont->setEditable(true);
    cmbFont->setInsertPolicy(QComboBox::NoInsert);
    cmbFontSize = new QComboBox(Picture1);
    cmbFontSize->setObjectName(QStringLiteral("cmbFontSize"));
    cmbFontSize->setEditable(true);
    cmbFontSize->setInsertPolicy(QComboBox::NoInsert);
    Label2 = new QLabel(Picture1);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setFixedSize(18, 18);
    Label2->setAutoFillBackground(true);
    Label2->setStyleSheet(QStringLiteral("background-color: #000000; border: 1px solid gray;"));
    Label2->setToolTip(QStringLiteral("Report colour"));
}

void MainFrm::BuildReportPane(QWidget* central)
{
    rTxt = new ReportPane(central);
    rTxt->setObjectName(QStringLiteral("rTxt"));
    rTxt->setAcceptRichText(true);
    QFont paneFont(QStringLiteral("Courier New"));
    paneFont.setStyleHint(QFont::Monospace);
    paneFont.setPointSizeF(9.75);
    rTxt->setFont(paneFont);
    BuildEditing();
    connect(cmbFont, &QComboBox::currentTextChanged, this, &MainFrm::ApplyFontName);
    connect(cmbFontSize, &QComboBox::currentTextChanged, this, &MainFrm::ApplyFontSize);
    connect(cmbFontSize->lineEdit(), &QLineEdit::editingFinished, this,
            [this] { cmbFontSize->setEditText(m_fontSize); });
}

void MainFrm::BuildStatusBar()
{
    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    setStatusBar(StatusBar1);
    for (int panel = 1; panel <= 5; ++panel) {
        auto* label = new QLabel(StatusBar1);
        label->setObjectName(QStringLiteral("Panel%1").arg(panel));
        label->setFrameShape(QFrame::StyledPanel);
        label->setFrameShadow(QFrame::Sunken);
        label->setMinimumWidth(panel == 1 ? 200 : 90);
        if (panel == 1)
            StatusBar1->addWidget(label, 1);
        else
            StatusBar1->addPermanentWidget(label);
        m_panels.append(label);
    }
    // Panels 2 to 4 stay hidden until a scan has counted something.
    for (int panel = 2; panel <= 4; ++panel)
        m_panels[panel - 1]->hide();
    SetPanelText(1, kIdleMessage);
    SetPanelText(5, QStringLiteral("00:00:00"));
}

double MainFrm::Dpi() const
{
    const QScreen* s = screen();
    return s ? s->logicalDotsPerInchY() : 96.0;
}

void MainFrm::StartUp()
{
    // The settings and exclusion dialogs are loaded hidden and stay: their controls hold the
    // report settings and the exclusion list of every scan.
    m_settingsFrm = new SettingsFrm(*m_dialogs, this);
    m_excludeFrm = new ExcludeFrm(*m_dialogs, ExclusionListPath(), this);

    SettingsStore store;
    // A settings file that is too large or not a regular file is left as it is: this run
    // uses the defaults, and says so once.
    if (const QString unusable = store.errorString(); !unusable.isEmpty())
        m_dialogs->ShowMessage(unusable + QStringLiteral("\r\nThis run uses the default settings."),
                               QStringLiteral("Settings"), MessageIcon::Exclamation,
                               MessageButtons::Ok, MessageResult::Ok);

    const double dpi = Dpi();
    setMinimumSize(TwipsToPixels(WindowGeometry::kMinWidth, dpi),
                   TwipsToPixels(WindowGeometry::kMinHeight, dpi));
    const WindowGeometry geometry = LoadWindowGeometry(store);
    QList<QRect> areas;
    for (const QScreen* s : QGuiApplication::screens())
        areas.append(s->availableGeometry());
    const QRect place =
        FitToScreens(QRect(TwipsToPixels(geometry.left, dpi), TwipsToPixels(geometry.top, dpi),
                           TwipsToPixels(geometry.width, dpi), TwipsToPixels(geometry.height, dpi)),
                     areas);
    resize(place.size());
    move(place.topLeft());
    m_normalPlace = place;
    m_placeAsked = place.topLeft();
    if (geometry.maximised)
        setWindowState(windowState() | Qt::WindowMaximized);

    m_margins = LoadPageMargins(store);

    cmbFont->addItems(QFontDatabase::families());
    cmbFont->setEditText(QStringLiteral("courier new"));
    for (int size = 8; size <= 20; size += 2)
        cmbFontSize->addItem(QString::number(size));
    cmbFontSize->setEditText(QStringLiteral("10"));
    cmbSort->setEditText(QStringLiteral("Name"));

    rTxt->setLineWrapMode(QTextEdit::NoWrap);

    if (QFileInfo::exists(DefaultJobPath()))
        LoadJob(DefaultJobPath());
    LayoutControls();
}

void MainFrm::SettleReportFiles()
{
    m_report->Settle();
}

QString MainFrm::StagingPath()
{
    return SharedStagingPath();
}

QString MainFrm::DefaultJobPath()
{
    return DefaultJobFilePath();
}

void MainFrm::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    NoteNormalPlace();
    LayoutControls();
}

void MainFrm::moveEvent(QMoveEvent* event)
{
    QMainWindow::moveEvent(event);
    NoteNormalPlace();
}

void MainFrm::NoteNormalPlace()
{
    if ((windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen)) != 0)
        return;
    if (!isVisible())
        m_placeAsked = pos();
    else if (m_framePending)
        FitFrameToScreen();
    // A window manager may hand over the maximised size a moment before it says the window is
    // maximised: a frame that overlaps the whole work area was never the normal place.
    if (isVisible() && screen()) {
        const QRect area = screen()->availableGeometry();
        if (frameGeometry().contains(area) && frameGeometry() != area)
            return;
    }
    m_normalPlace = QRect(pos(), size());
}

void MainFrm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!m_frameFitted) {
        m_frameFitted = true;
        m_framePending = true;
    }
}

void MainFrm::FitFrameToScreen()
{
    const QRect frame = frameGeometry();
    // Nothing to go by until a window manager has framed the window (never, offscreen).
    if (frame == geometry() || !screen())
        return;
    m_framePending = false;
    // Placed before the frame was known, the window was fitted by its inside alone: its title
    // bar could run off the screen, or the manager shift it away from the corner asked for.
    const QRect wanted =
        FitToScreens(QRect(m_placeAsked, frame.size()), {screen()->availableGeometry()});
    if (wanted == frame)
        return;
    resize(size() - (frame.size() - wanted.size()));
    move(wanted.topLeft());
}

void MainFrm::LayoutControls()
{
    const double dpi = Dpi();
    auto px = [dpi](double twips) { return TwipsToPixels(twips, dpi); };
    const int minWidth = px(WindowGeometry::kMinWidth);
    const int minHeight = px(WindowGeometry::kMinHeight);
    if (!isMinimized() && (width() < minWidth || height() < minHeight)) {
        resize(std::max(width(), minWidth), std::max(height(), minHeight));
        return; // the resize comes back here with the corrected size
    }
    const double w = PixelsToTwips(width(), dpi);
    const double h = PixelsToTwips(height(), dpi);

    const int top = px(100);
    const int listHeight = px(1800);
    SearchList->setGeometry(px(100), top, std::max(px(w - 6100), 10), listHeight);
    const int buttonsLeft = px(w - 6070);
    const int buttonSize = px(460);
    cmdAdd->setGeometry(buttonsLeft, top, buttonSize, buttonSize);
    cmdRemove->setGeometry(buttonsLeft, top + buttonSize + px(80), buttonSize, buttonSize);
    cmdExclude->setGeometry(buttonsLeft, top + 2 * (buttonSize + px(80)), buttonSize, buttonSize);
    FrameRepType->setGeometry(buttonsLeft + px(600), top - px(60), px(5370), listHeight + px(60));
    Frame1->move(FrameRepType->width() - Frame1->width() - 8, 14);

    if (isMinimized())
        return;
    setWindowTitle(kProgramName + QStringLiteral(" v" QUILLON_VERSION));

    const int paneWidth = px(w - 200);
    const int barTop = top + listHeight + px(80);
    const int barHeight = std::max(px(420), Toolbar2->sizeHint().height());
    Picture1->setGeometry(px(100), barTop, paneWidth, barHeight);
    Toolbar2->setGeometry(0, 0, Toolbar2->sizeHint().width(), barHeight);
    int x = Toolbar2->width() + 6;
    cmbFont->setGeometry(x, (barHeight - 24) / 2, 180, 24);
    x += 186;
    cmbFontSize->setGeometry(x, (barHeight - 24) / 2, 56, 24);
    x += 62;
    Label2->move(x, (barHeight - Label2->height()) / 2);

    const int paneTop = barTop + barHeight + px(40);
    // The pane is the window's height less 3700 twips of bars and controls; where the bars of
    // this desktop take more, it stops at the status bar instead of running under it.
    const int available = centralWidget()->height() - paneTop;
    rTxt->setGeometry(px(100), paneTop, paneWidth, std::max(10, std::min(px(h - 3700), available)));
}

void MainFrm::UpdateRemoveButton()
{
    cmdRemove->setEnabled(SearchList->topLevelItemCount() > 0);
}

void MainFrm::ReportTypeClicked()
{
    // The sort order belongs to List In Details only.
    const bool details = Opt1->isChecked();
    cmbSort->setEnabled(details);
    optAsc->setEnabled(details);
    optDesc->setEnabled(details);
}

ReportType MainFrm::SelectedReportType() const
{
    if (Opt1->isChecked())
        return ReportType::ListInDetails;
    if (Opt2->isChecked())
        return ReportType::TreeView;
    if (Opt3->isChecked())
        return ReportType::TreeViewWithSize;
    if (Opt4->isChecked())
        return ReportType::FolderList;
    return ReportType::None;
}

void MainFrm::SelectReportType(ReportType type)
{
    QRadioButton* option = nullptr;
    switch (type) {
    case ReportType::ListInDetails:
        option = Opt1;
        break;
    case ReportType::TreeView:
        option = Opt2;
        break;
    case ReportType::TreeViewWithSize:
        option = Opt3;
        break;
    case ReportType::FolderList:
        option = Opt4;
        break;
    case ReportType::None:
        return;
    }
    option->setChecked(true);
    ReportTypeClicked();
}

ScanLocationList MainFrm::Locations() const
{
    ScanLocationList locations;
    for (int row = 0; row < SearchList->topLevelItemCount(); ++row) {
        const QTreeWidgetItem* item = SearchList->topLevelItem(row);
        ScanLocation location;
        location.path = item->text(0);
        location.subFolders = item->text(1);
        location.filter = item->text(2);
        location.level = item->text(3);
        location.icon = item->data(0, kIconRole).toInt();
        locations.push_back(location);
    }
    return locations;
}

void MainFrm::AddLocation(const ScanLocation& location)
{
    for (int row = 0; row < SearchList->topLevelItemCount(); ++row) {
        if (SearchList->topLevelItem(row)->text(0) == location.path) {
            SetLocationRow(SearchList->topLevelItem(row), location);
            return;
        }
    }
    SetLocationRow(new QTreeWidgetItem(SearchList), location);
}

void MainFrm::SetLocationRow(QTreeWidgetItem* item, const ScanLocation& location)
{
    item->setText(0, location.path);
    item->setText(1, location.subFolders);
    item->setText(2, location.filter);
    item->setText(3, location.level);
    item->setData(0, kIconRole, location.icon);
    item->setIcon(0, ResourceIcon(location.excluded() ? QStringLiteral("excluded")
                                                      : QStringLiteral("folder")));
    UpdateRemoveButton();
}

QString MainFrm::PanelText(int panel) const
{
    return m_panels.value(panel - 1) ? m_panels[panel - 1]->text() : QString();
}

bool MainFrm::PanelVisible(int panel) const
{
    return m_panels.value(panel - 1) && !m_panels[panel - 1]->isHidden();
}

namespace {

// A status text longer than any screen is shown with its middle left out: the path of a folder
// thousands of levels deep runs to hundreds of kilobytes, and a label lays its whole text out
// at every change (270 ms for such a path, every 50 entries).
constexpr qsizetype kPanelTextMax = 400;

QString PanelShown(const QString& text)
{
    if (text.size() <= kPanelTextMax)
        return text;
    qsizetype head = kPanelTextMax / 4;
    qsizetype tail = text.size() - (kPanelTextMax - head - 3);
    if (text.at(head - 1).isHighSurrogate())
        --head;
    if (text.at(tail).isLowSurrogate())
        ++tail;
    return text.left(head) + QStringLiteral("...") + text.mid(tail);
}

} // namespace

void MainFrm::SetPanelText(int panel, const QString& text)
{
    if (QLabel* label = m_panels.value(panel - 1))
        label->setText(PanelShown(text));
}

bool MainFrm::IsScanning() const
{
    return m_scanning;
}

bool MainFrm::CancelRequested() const
{
    return m_run->cancelled();
}

void MainFrm::NewJob()
{
    // Numbered steps, as every main command: a failing step is reported, Retry repeats it.
    CommandSteps steps(QStringLiteral("New Session"),
                       [this](const ErrorReport& report) { return AskAboutError(report); });
    RunCommand(steps, [&] {
        steps.step(1, [&] { SearchList->clear(); });
        steps.step(2, [&] { cmdRemove->setEnabled(false); });
        steps.step(3, [&] {
            SetPanelText(1, kIdleMessage);
            m_panels[0]->setToolTip(QString());
        });
        steps.step(4, [&] {
            for (int panel = 2; panel <= 4; ++panel)
                m_panels[panel - 1]->hide();
        });
        steps.step(5, [&] { SetPanelText(5, QStringLiteral("00:00:00")); });
        // An empty pane stays as it is; emptying a report is a change that Undo gives back.
        steps.step(6, [&] {
            if (!rTxt->document()->isEmpty()) {
                auto empty = std::make_unique<QTextDocument>();
                empty->setDefaultFont(rTxt->font());
                ReplacePaneDocument(std::move(empty));
            }
        });
    });
}

void MainFrm::SetScanningState(bool idle)
{
    m_scanning = !idle;
    // The edit commands go too: their keys act window-wide, and the report must not change
    // under a running scan.
    for (QAction* action : {mnuScan,          mnuNew,     mnuOpen,  mnuSave,        mnuSaveAs,
                            mnuExportListing, mnuCompare, mnuPrint, mnuPageSetup,   mnuClose,
                            mnuOptions,       mnuUndo,    mnuRedo,  mnuCut,         mnuCopy,
                            mnuPaste,         mnuDelete,  mnuFind,  mnuFindReplace, mnuSelect}) {
        action->setEnabled(idle);
    }
    for (QAction* toggle : {m_boldAction, m_italicAction, m_underlineAction})
        toggle->setEnabled(idle);
    mnuEdit->menuAction()->setEnabled(idle);
    mnuHelp->menuAction()->setEnabled(idle);
    mnuCancel->setEnabled(!idle);
    SearchList->setEnabled(idle);
    FrameRepType->setEnabled(idle);
    rTxt->setReadOnly(!idle);
    // The formatting bar holds Undo and Redo too; the pane shows an empty page while a new
    // report is built, and nothing may act on it then.
    Picture1->setEnabled(idle);
}

void MainFrm::ApplyFontName(const QString& name)
{
    if (!name.isEmpty())
        rTxt->setFontFamily(name);
}

void MainFrm::ApplyFontSize(const QString& size)
{
    // Text that is not a size leaves the selection as it is; the next report and the job keep
    // the last valid size instead of failing on it, now and after a restart.
    bool ok = false;
    const double points = size.trimmed().toDouble(&ok);
    if (!ok || points < 0.5 || points > 1638)
        return;
    m_fontSize = size.trimmed();
    rTxt->setFontPointSize(points);
}

void MainFrm::ChooseColour()
{
    const QString answer = m_dialogs->ShowColourPicker();
    bool ok = false;
    const quint32 bgr = answer.toUInt(&ok);
    if (answer == QStringLiteral("-1") || !ok)
        return;
    m_reportColour = bgr;
    const QColor colour(int(bgr & 0xff), int((bgr >> 8) & 0xff), int((bgr >> 16) & 0xff));
    Label2->setStyleSheet(
        QStringLiteral("background-color: %1; border: 1px solid gray;").arg(colour.name()));
    rTxt->setTextColor(colour);
}

void MainFrm::TimerTick()
{
    if (m_stopwatch)
        SetPanelText(5, m_stopwatch->Elapsed());
}

void MainFrm::StoreGeometry()
{
    const double dpi = Dpi();
    // A maximised or minimised window keeps the size and place it will come back to: the
    // frame's corner and the inside's size, as start-up applies them. Taking the corner from
    // the maximised frame instead would move the window by the difference at every session.
    NoteNormalPlace();
    WindowGeometry stored;
    stored.width = PixelsToTwips(m_normalPlace.width(), dpi);
    stored.height = PixelsToTwips(m_normalPlace.height(), dpi);
    stored.left = PixelsToTwips(m_normalPlace.left(), dpi);
    stored.top = PixelsToTwips(m_normalPlace.top(), dpi);
    stored.maximised = isMaximized();
    SettingsStore store;
    SaveWindowGeometry(stored, store);
}

void MainFrm::closeEvent(QCloseEvent* event)
{
    if (m_scanning) {
        // Closing in the middle of a scan stops the scan; the window closes once it has ended.
        m_closePending = true;
        m_run->Cancel();
        event->ignore();
        return;
    }
    CloseSequence();
    event->accept();
}

void MainFrm::CloseSequence()
{
    StoreGeometry();
    SaveJob(DefaultJobPath());
    // The exclusion list goes to its file as the program ends, as the dialog's close box does.
    m_excludeFrm->SaveExclusionList();
    // Forms opened from the window go with it, newest first.
    const QList<QWidget*> children = findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
        if ((*it)->isWindow() && (*it)->isVisible())
            (*it)->close();
    }
    m_closed = true;
}

} // namespace quillon
