#include "app/MainFrm.h"
#include "FakeDialogs.h"
#include "FirstRun.h"
#include "UrlCatcher.h"
#include "app/CentreWindow.h"
#include "app/HelpPage.h"
#include "app/Twips.h"
#include "platform/ProgramFolder.h"
#include "platform/SettingsStore.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace quillon;
using quillon::test::FakeDialogs;

namespace {

// Every test starts as a first run: no settings, no default job.
class MainFrmTest : public test::FirstRunTest {
protected:
    static int px(double twips, const QWidget& w) { return TwipsToPixels(twips, dpi(w)); }
    static double dpi(const QWidget& w) { return w.screen()->logicalDotsPerInchY(); }

    FakeDialogs dialogs;
};

QStringList captions(const QList<QAction*>& actions)
{
    QStringList out;
    for (const QAction* action : actions)
        out.append(action->isSeparator() ? QStringLiteral("-") : action->text());
    return out;
}

} // namespace

TEST_F(MainFrmTest, FirstStartUsesDefaults)
{
    MainFrm window(&dialogs);
    EXPECT_EQ(window.size(), QSize(px(12000, window), px(8000, window)));
    EXPECT_EQ(window.pos(), QPoint(0, 0));
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Quillon v1.0"));
    EXPECT_TRUE(window.Opt1->isChecked());
    EXPECT_TRUE(window.optAsc->isChecked());
    EXPECT_EQ(window.cmbSort->currentText(), QStringLiteral("Name"));
    EXPECT_EQ(window.cmbFont->currentText(), QStringLiteral("courier new"));
    EXPECT_EQ(window.cmbFontSize->currentText(), QStringLiteral("10"));
    QStringList sizes;
    for (int i = 0; i < window.cmbFontSize->count(); ++i)
        sizes.append(window.cmbFontSize->itemText(i));
    EXPECT_EQ(sizes.join(QLatin1Char(',')), QStringLiteral("8,10,12,14,16,18,20"));
    EXPECT_EQ(window.rTxt->lineWrapMode(), QTextEdit::NoWrap);
    EXPECT_EQ(window.PanelText(1),
              QStringLiteral("Add search path and click on the scan button to start search."));
    EXPECT_EQ(window.PanelText(5), QStringLiteral("00:00:00"));
    EXPECT_FALSE(window.PanelVisible(3));
    EXPECT_FALSE(window.mnuCancel->isEnabled());
    EXPECT_FALSE(window.cmdRemove->isEnabled());
    EXPECT_EQ(window.Timer1->interval(), 1000);
    EXPECT_FALSE(window.Timer1->isActive());
    EXPECT_EQ(window.Margins().top, 720);
}

TEST_F(MainFrmTest, MenusToolbarsAndShortcuts)
{
    MainFrm window(&dialogs);
    EXPECT_EQ(captions(window.mnuFile->actions()).join(QLatin1Char('|')),
              QStringLiteral("Scan|Cancel|-|New Job|Open Job|Save Job|-|Save As|Open Listing...|"
                             "Export Listing...|Compare With Listing...|-|Page Setup|Print...|-|"
                             "Close"));
    EXPECT_EQ(captions(window.mnuEdit->actions()).join(QLatin1Char('|')),
              QStringLiteral("Undo|Redo|-|Cut|Copy|Paste|Delete|-|Find|Find and Replace|-|"
                             "Select All"));
    EXPECT_EQ(captions(window.Toolbar1->actions()).join(QLatin1Char('|')),
              QStringLiteral("Scan|Cancel|-|Save As|Print...|Settings"));
    EXPECT_EQ(window.mnuScan->shortcut(), QKeySequence(Qt::Key_F5));
    EXPECT_EQ(window.mnuCancel->shortcut(), QKeySequence(Qt::Key_F6));
    EXPECT_EQ(window.mnuNew->shortcut(), QKeySequence(QStringLiteral("Ctrl+N")));
    EXPECT_EQ(window.mnuFindReplace->shortcut(), QKeySequence(QStringLiteral("Ctrl+H")));
    EXPECT_EQ(window.mnuRedo->shortcut(), QKeySequence(QStringLiteral("Ctrl+Y")));
    // Every named control can be found by its name.
    for (const char* name : {"SearchList", "cmdAdd", "cmdRemove", "cmdExclude", "FrameRepType",
                             "Opt1", "Opt4", "Frame1", "Label1", "cmbSort", "optDesc", "Picture1",
                             "Toolbar2", "cmbFont", "cmbFontSize", "Label2", "rTxt", "StatusBar1"})
        EXPECT_NE(window.findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
    EXPECT_EQ(window.optDesc->text(), QStringLiteral("Deascending"));
    EXPECT_EQ(window.Toolbar2->actions().size(), 8);
}

TEST_F(MainFrmTest, ChoicesNeverEndEmptyAndEveryControlAnswersTheKeyboard)
{
    MainFrm window(&dialogs);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));

    // A click on the chosen report type or sort direction leaves it chosen, and the two sets
    // never take each other's choice away.
    for (QRadioButton* option : {window.Opt1, window.Opt1, window.Opt3, window.Opt3}) {
        QTest::mouseClick(option, Qt::LeftButton);
        EXPECT_TRUE(option->isChecked()) << option->objectName().toStdString();
        EXPECT_TRUE(window.optAsc->isChecked());
    }
    QTest::mouseClick(window.Opt1, Qt::LeftButton);
    QTest::mouseClick(window.optAsc, Qt::LeftButton);
    EXPECT_TRUE(window.optAsc->isChecked());
    EXPECT_EQ(window.SelectedReportType(), ReportType::ListInDetails);

    // Tab stops at the report types and at the sort direction; arrows choose within a set.
    window.SearchList->setFocus();
    QList<QWidget*> stops;
    for (int i = 0; i < 12 && !stops.contains(QApplication::focusWidget()); ++i) {
        stops.append(QApplication::focusWidget());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_TRUE(stops.contains(window.Opt1));
    EXPECT_TRUE(stops.contains(window.optAsc));
    EXPECT_TRUE(stops.contains(window.rTxt));
    window.Opt1->setFocus();
    QTest::keyClick(window.Opt1, Qt::Key_Down);
    EXPECT_EQ(window.SelectedReportType(), ReportType::TreeView);

    // Ctrl+B, Ctrl+I and Ctrl+U format the pane's selection.
    window.rTxt->setPlainText(QStringLiteral("report line"));
    window.rTxt->setFocus();
    window.rTxt->selectAll();
    QTest::keyClick(window.rTxt, Qt::Key_B, Qt::ControlModifier);
    QTest::keyClick(window.rTxt, Qt::Key_I, Qt::ControlModifier);
    QTest::keyClick(window.rTxt, Qt::Key_U, Qt::ControlModifier);
    QTextCursor cursor(window.rTxt->document());
    cursor.setPosition(3);
    EXPECT_EQ(cursor.charFormat().fontWeight(), QFont::Bold);
    EXPECT_TRUE(cursor.charFormat().fontItalic());
    EXPECT_TRUE(cursor.charFormat().fontUnderline());

    // Del in the location list removes the selected location and leaves the report alone.
    window.AddLocation({QStringLiteral("/a"), QStringLiteral("Yes"), QStringLiteral("*.*"),
                        QStringLiteral("All Levels"), ScanLocation::kScanIcon});
    window.AddLocation({QStringLiteral("/b"), QStringLiteral("Yes"), QStringLiteral("*.*"),
                        QStringLiteral("All Levels"), ScanLocation::kScanIcon});
    window.rTxt->selectAll();
    window.SearchList->setFocus();
    window.SearchList->setCurrentItem(window.SearchList->topLevelItem(0));
    QTest::keyClick(window.SearchList, Qt::Key_Delete);
    ASSERT_EQ(window.Locations().size(), 1u);
    EXPECT_EQ(window.Locations()[0].path, QStringLiteral("/b"));
    EXPECT_EQ(window.rTxt->toPlainText(), QStringLiteral("report line"));
}

TEST_F(MainFrmTest, RestoresStoredGeometryAndIgnoresGarbage)
{
    {
        SettingsStore store;
        store.setValue(QStringLiteral("WindowSize"), QStringLiteral("W"), QStringLiteral("11000"));
        store.setValue(QStringLiteral("WindowSize"), QStringLiteral("H"), QStringLiteral("zz"));
        store.setValue(QStringLiteral("WindowSize"), QStringLiteral("T"), QStringLiteral("300"));
        store.setValue(QStringLiteral("WindowSize"), QStringLiteral("L"), QStringLiteral("450"));
        store.sync();
    }
    MainFrm window(&dialogs);
    EXPECT_EQ(window.size(), QSize(px(11000, window), px(8000, window)));
    EXPECT_EQ(window.pos(), QPoint(px(450, window), px(300, window)));
}

TEST_F(MainFrmTest, NeverSmallerThanMinimumAndLaysOutByWidth)
{
    MainFrm window(&dialogs);
    window.show();
    window.resize(50, 50);
    EXPECT_GE(window.width(), px(9000, window));
    EXPECT_GE(window.height(), px(5000, window));

    window.resize(px(13000, window), px(9000, window));
    const double w = PixelsToTwips(window.width(), dpi(window));
    EXPECT_EQ(window.SearchList->width(), px(w - 6100, window));
    EXPECT_EQ(window.cmdAdd->x(), px(w - 6070, window));
    EXPECT_EQ(window.cmdRemove->x(), window.cmdAdd->x());
    EXPECT_EQ(window.cmdExclude->x(), window.cmdAdd->x());
    EXPECT_EQ(window.FrameRepType->x(), window.cmdAdd->x() + px(600, window));
    EXPECT_EQ(window.rTxt->width(), px(w - 200, window));
    EXPECT_EQ(window.Picture1->width(), window.rTxt->width());
    // The pane never runs under the status bar.
    EXPECT_LE(window.rTxt->geometry().bottom(), window.centralWidget()->height());
}

TEST_F(MainFrmTest, NewJobClearsTheJobButKeepsReportChoices)
{
    MainFrm window(&dialogs);
    window.AddLocation({QStringLiteral("/data"), QStringLiteral("Yes"), QStringLiteral("*.*"),
                        QStringLiteral("All Levels"), ScanLocation::kScanIcon});
    // Adding the same path again changes the row instead of adding one.
    window.AddLocation({QStringLiteral("/data"), QStringLiteral("No"), QStringLiteral(".mp3"),
                        QString(), ScanLocation::kScanIcon});
    ASSERT_EQ(window.Locations().size(), 1u);
    EXPECT_EQ(window.Locations()[0].filter, QStringLiteral(".mp3"));
    EXPECT_TRUE(window.cmdRemove->isEnabled());
    window.SelectReportType(ReportType::TreeViewWithSize);
    EXPECT_FALSE(window.cmbSort->isEnabled()); // sort belongs to List In Details
    window.optDesc->setChecked(true);
    window.rTxt->setPlainText(QStringLiteral("old report"));
    window.SetPanelText(1, QStringLiteral("Ready"));
    window.SetPanelText(5, QStringLiteral("00:01:15"));

    window.mnuNew->trigger();
    EXPECT_TRUE(window.Locations().empty());
    EXPECT_FALSE(window.cmdRemove->isEnabled());
    EXPECT_EQ(window.PanelText(1),
              QStringLiteral("Add search path and click on the scan button to start search."));
    EXPECT_EQ(window.PanelText(5), QStringLiteral("00:00:00"));
    for (int panel = 2; panel <= 4; ++panel)
        EXPECT_FALSE(window.PanelVisible(panel));
    EXPECT_TRUE(window.rTxt->toPlainText().isEmpty());
    EXPECT_EQ(window.SelectedReportType(), ReportType::TreeViewWithSize);
    EXPECT_TRUE(window.optDesc->isChecked());
}

TEST_F(MainFrmTest, ScanningStateSwitchesExactlyTheListedCommands)
{
    MainFrm window(&dialogs);
    window.show();
    const bool saveAsBuilt = window.mnuSaveAs->isEnabled();
    window.SetScanningState(false);
    for (QAction* action :
         {window.mnuScan, window.mnuNew, window.mnuOpen, window.mnuSave, window.mnuSaveAs,
          window.mnuPrint, window.mnuPageSetup, window.mnuClose, window.mnuOptions})
        EXPECT_FALSE(action->isEnabled()) << action->objectName().toStdString();
    EXPECT_FALSE(window.mnuEdit->menuAction()->isEnabled());
    EXPECT_FALSE(window.mnuHelp->menuAction()->isEnabled());
    EXPECT_TRUE(window.mnuCancel->isEnabled());
    EXPECT_TRUE(window.Toolbar1->widgetForAction(window.mnuCancel)->isEnabled());
    EXPECT_FALSE(window.Toolbar1->widgetForAction(window.mnuScan)->isEnabled());
    EXPECT_FALSE(window.SearchList->isEnabled());
    EXPECT_FALSE(window.FrameRepType->isEnabled());
    EXPECT_TRUE(window.IsScanning());

    window.SetScanningState(true);
    EXPECT_TRUE(window.mnuNew->isEnabled());
    EXPECT_TRUE(window.mnuClose->isEnabled());
    EXPECT_EQ(window.mnuSaveAs->isEnabled(), saveAsBuilt);
    EXPECT_TRUE(window.mnuEdit->menuAction()->isEnabled());
    EXPECT_FALSE(window.mnuCancel->isEnabled());
    EXPECT_TRUE(window.SearchList->isEnabled());
    EXPECT_TRUE(window.FrameRepType->isEnabled());
}

TEST_F(MainFrmTest, AStatusTooLongForAnyScreenKeepsItsStartAndEnd)
{
    MainFrm window(&dialogs);
    window.SetPanelText(1, QStringLiteral("Scanning... /data"));
    EXPECT_EQ(window.PanelText(1), QStringLiteral("Scanning... /data"));
    // A folder thousands of levels deep, its names in characters beyond the first plane; the
    // pads move both cuts across every position of a character.
    QString levels;
    for (int level = 0; level < 3000; ++level)
        levels += QStringLiteral("/\U0001F600\U0001F600");
    for (const QString pad : {"", "x", "xx", "xxx", "xxxx"}) {
        const QString text =
            QStringLiteral("Scanning... /data") + pad + levels + QStringLiteral("/last") + pad;
        window.SetPanelText(1, text);
        const QString shown = window.PanelText(1);
        EXPECT_LE(shown.size(), 400);
        EXPECT_TRUE(shown.startsWith(QStringLiteral("Scanning... /data") + pad));
        EXPECT_TRUE(shown.contains(QStringLiteral("...")));
        EXPECT_TRUE(shown.endsWith(QStringLiteral("/last") + pad));
        // No half of a character is left at either cut.
        EXPECT_EQ(QString::fromUtf8(shown.toUtf8()), shown) << pad.size();
    }
}

TEST_F(MainFrmTest, CancelAsksWithNoAsDefaultAndStopsOnlyOnYes)
{
    MainFrm window(&dialogs);
    window.SetScanningState(false);
    dialogs.messageAnswers = {MessageResult::No, MessageResult::Yes};
    window.mnuCancel->trigger();
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages[0].text,
              QStringLiteral("Are you sure to cancel scanning of directories?"));
    EXPECT_EQ(dialogs.messages[0].title, QStringLiteral("Cancel Search"));
    EXPECT_EQ(dialogs.messages[0].buttons, MessageButtons::YesNo);
    EXPECT_EQ(dialogs.messages[0].defaultButton, MessageResult::No);
    EXPECT_FALSE(window.CancelRequested());
    window.mnuCancel->trigger();
    EXPECT_TRUE(window.CancelRequested());
    window.SetScanningState(true);
}

TEST_F(MainFrmTest, ClosingStoresGeometryAndWaitsForARunningScan)
{
    auto window = std::make_unique<MainFrm>(&dialogs);
    window->show();
    window->move(px(300, *window), px(300, *window));
    window->resize(px(11500, *window), px(8500, *window));

    // The close box during a scan stops the scan instead of pulling the window away under it.
    window->SetScanningState(false);
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->CancelRequested());
    window->SetScanningState(true);

    EXPECT_TRUE(window->close());
    SettingsStore store;
    EXPECT_EQ(store.value(QStringLiteral("WindowSize"), QStringLiteral("W")).toInt(),
              PixelsToTwips(px(11500, *window), dpi(*window)));
    EXPECT_EQ(store.value(QStringLiteral("WindowSize"), QStringLiteral("L")).toInt(),
              PixelsToTwips(window->x(), dpi(*window)));
    window.reset();
    MainFrm again(&dialogs);
    EXPECT_EQ(again.size(), QSize(px(11500, again), px(8500, again)));
}

TEST_F(MainFrmTest, ColourButtonKeepsSwatchWhenCancelled)
{
    MainFrm window(&dialogs);
    const QString before = window.Label2->styleSheet();
    QAction* colour = window.Toolbar2->actions().at(7);
    dialogs.colours = {QStringLiteral("-1"), QString::number(0x0000ffu)}; // cancel, then red
    colour->trigger();
    EXPECT_EQ(window.Label2->styleSheet(), before);
    colour->trigger();
    EXPECT_TRUE(window.Label2->styleSheet().contains(QStringLiteral("#ff0000")));
}

TEST(CentreWindowTest, CentresInWorkAreaLiftedButNeverAboveIt)
{
    QWidget small;
    small.resize(200, 100);
    CentreWindow(&small);
    const QRect area = small.screen()->availableGeometry();
    const int lift = TwipsToPixels(1000, small.screen()->logicalDotsPerInchY());
    EXPECT_EQ(small.x(), area.left() + (area.width() - 200) / 2);
    EXPECT_EQ(small.y(), area.top() + (area.height() - 100) / 2 - lift);

    QWidget tall;
    tall.resize(200, area.height());
    CentreWindow(&tall);
    EXPECT_EQ(tall.y(), area.top());
}

TEST(HelpPageTest, FoundBesideAnInstalledOrBuiltProgram)
{
    QTemporaryDir dir;
    QDir root(dir.path());
    root.mkpath(QStringLiteral("bin"));
    root.mkpath(QStringLiteral("share/quillon/help"));
    EXPECT_TRUE(FindHelpPage(root.filePath(QStringLiteral("bin"))).isEmpty());
    QFile page(root.filePath(QStringLiteral("share/quillon/help/index.html")));
    ASSERT_TRUE(page.open(QIODevice::WriteOnly));
    page.close();
    EXPECT_TRUE(FindHelpPage(root.filePath(QStringLiteral("bin")))
                    .endsWith(QStringLiteral("share/quillon/help/index.html")));

    // The source tree's page is found from the build folder.
    const QString source = qEnvironmentVariable("QUILLON_SOURCE_DIR");
    if (!source.isEmpty()) {
        EXPECT_FALSE(FindHelpPage(source + QStringLiteral("/build/release")).isEmpty());
    }
}
