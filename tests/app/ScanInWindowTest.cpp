// The window driving the engine: scan, cancel, errors, job files, Save As.
#include "FakeDialogs.h"
#include "FirstRun.h"
#include "ModalAnswer.h"
#include "app/FolderFrm.h"
#include "app/MainFrm.h"
#include "app/ReportPane.h"
#include "support/FixtureTree.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <unistd.h>

#include "app/JobFile.h"
#include "platform/SettingsStore.h"
#include "rtf/RtfFiles.h"

using namespace quillon;
using quillon::test::FakeDialogs;
using quillon::test::FixtureTree;
using quillon::test::WhenShown;

namespace {

class ScanInWindowTest : public test::FirstRunTest {
protected:
    void SetUp() override
    {
        FirstRunTest::SetUp();
        QDir(MainFrm::StagingPath()).removeRecursively();
        QFile::remove(MainFrm::StagingPath());
        tree.file("Music/song one.mp3", "12345");
        tree.file("Music/Live/encore.mp3", "123");
        tree.file("Photos/beach.jpg", "1");
        tree.file("readme.txt", "hello");
    }
    void TearDown() override
    {
        FirstRunTest::TearDown();
        QDir(MainFrm::StagingPath()).removeRecursively();
    }

    void addTree(MainFrm& window)
    {
        window.AddLocation({QString::fromStdString(tree.root()), QStringLiteral("Yes"),
                            QStringLiteral("*.*"), QStringLiteral("All Levels"),
                            ScanLocation::kScanIcon});
        window.SelectReportType(ReportType::TreeView);
    }

    FixtureTree tree;
    FakeDialogs dialogs;
};

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST_F(ScanInWindowTest, ScanShowsTheReportAndTheCounters)
{
    MainFrm window(&dialogs);
    addTree(window);
    window.mnuScan->trigger();

    const QString report = window.rTxt->toPlainText();
    EXPECT_TRUE(report.contains(QStringLiteral("song one.mp3"))) << report.toStdString();
    EXPECT_TRUE(report.contains(QStringLiteral("encore.mp3")));
    EXPECT_EQ(window.PanelText(1), QStringLiteral("Ready"));
    EXPECT_EQ(window.PanelText(3), QStringLiteral("Files : 4"));
    EXPECT_EQ(window.PanelText(4), QStringLiteral("Folders : 4"));
    EXPECT_TRUE(window.PanelVisible(3));
    EXPECT_TRUE(window.PanelVisible(4));
    EXPECT_FALSE(window.PanelVisible(2));
    EXPECT_FALSE(window.Timer1->isActive());
    EXPECT_FALSE(window.IsScanning());
    EXPECT_TRUE(window.mnuScan->isEnabled());
    EXPECT_EQ(window.rTxt->lineWrapMode(), QTextEdit::NoWrap);
    // The job was kept as the default job when the scan started.
    EXPECT_TRUE(readFile(MainFrm::DefaultJobPath()).startsWith("Option2\r\n"));
    EXPECT_TRUE(dialogs.errors.isEmpty());
}

TEST_F(ScanInWindowTest, ScanWithoutLocationsOnlyTellsTheUser)
{
    MainFrm window(&dialogs);
    // The scan then opens the location dialog; closed, it adds nothing.
    WhenShown<FolderFrm>(&window, [](FolderFrm* form) { form->close(); });
    window.mnuScan->trigger();
    EXPECT_EQ(dialogs.folderPrompts.size(), 1);
    EXPECT_TRUE(window.Locations().empty());
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages[0].text, QStringLiteral("Please add scan path first."));
    EXPECT_EQ(dialogs.messages[0].title, QStringLiteral("Error"));
    EXPECT_TRUE(QFileInfo::exists(MainFrm::DefaultJobPath()));
    EXPECT_FALSE(window.IsScanning());
}

TEST_F(ScanInWindowTest, CancelAnsweredNoThenYes)
{
    for (const MessageResult answer : {MessageResult::No, MessageResult::Yes}) {
        MainFrm window(&dialogs);
        addTree(window);
        dialogs.messageAnswers = {answer};
        bool asked = false;
        window.SetYieldHook([&] {
            // Press Cancel once, in the middle of the walk.
            if (!asked && window.IsScanning()) {
                asked = true;
                EXPECT_TRUE(window.mnuCancel->isEnabled());
                window.mnuCancel->trigger();
            }
        });
        window.mnuScan->trigger();
        EXPECT_TRUE(asked);
        EXPECT_EQ(window.PanelText(1), answer == MessageResult::Yes
                                           ? QStringLiteral("Scan Terminated.")
                                           : QStringLiteral("Ready"));
        EXPECT_FALSE(window.IsScanning());
        EXPECT_FALSE(window.Timer1->isActive());
    }
}

// The pane reads the report while the layout writes it; what it shows is what the finished
// file loads as: text, bold headers, fonts, over a tree with names outside UTF-8 and right to
// left and a report longer than one of the layout's writes.
TEST_F(ScanInWindowTest, TheReportReadAsItIsWrittenIsTheFinishedFilesDocument)
{
    tree.file("caf\xe9 \xff.txt", "1");
    tree.file("\xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d/\xd7\x90.txt", "12");
    for (int i = 0; i < 4000; ++i)
        tree.file("many/d" + std::to_string(i % 40) + "/file " + std::to_string(i), "");
    MainFrm window(&dialogs);
    addTree(window);
    window.SelectReportType(ReportType::ListInDetails);
    window.mnuScan->trigger();
    window.SettleReportFiles();
    ASSERT_GT(QFileInfo(MainFrm::StagingPath()).size(), 256 * 1024);
    const std::unique_ptr<QTextDocument> expected = ReportPane::NewDocument(window.rTxt->font());
    QString error;
    ASSERT_TRUE(LoadRtfFile(MainFrm::StagingPath(), expected.get(), &error)) << error.toStdString();
    const QTextDocument& shown = *window.rTxt->document();
    EXPECT_EQ(shown.blockCount(), expected->blockCount());
    EXPECT_TRUE(shown.toHtml() == expected->toHtml());
    EXPECT_TRUE(shown.toPlainText().contains(QStringLiteral("caf")));
    EXPECT_TRUE(shown.toHtml().contains(QStringLiteral("font-weight:700")));
    EXPECT_TRUE(dialogs.errors.isEmpty());
}

// The sort and the layouts let the events run too: Cancel pressed there is answered and ends
// the run as cancelled; the close box there gives the run up without laying out or loading
// what was gathered, and the window closes.
TEST_F(ScanInWindowTest, CancelAndCloseInEachPhase)
{
    // Enough files in one folder for the sort to yield.
    for (int i = 0; i < 600; ++i)
        tree.file("many/f" + std::to_string(i), "");
    const QString sort = QStringLiteral("Initializing format engine, please wait...");
    auto inLayout = [](const QString& text) {
        return text.startsWith(QStringLiteral("please wait"));
    };
    for (const bool close : {false, true}) {
        for (const bool duringSort : {true, false}) {
            QFile::remove(MainFrm::StagingPath());
            MainFrm window(&dialogs);
            addTree(window);
            window.show();
            window.ReplacePaneDocument(std::make_unique<QTextDocument>(QStringLiteral("before")));
            dialogs.messageAnswers = {MessageResult::Yes};
            bool pressed = false;
            bool laidOutAfterClose = false;
            window.SetYieldHook([&] {
                const QString text = window.PanelText(1);
                if (pressed && close && duringSort && inLayout(text))
                    laidOutAfterClose = true;
                if (pressed || !(duringSort ? text == sort : inLayout(text)))
                    return;
                pressed = true;
                if (close)
                    window.close();
                else
                    window.mnuCancel->trigger();
            });
            window.mnuScan->trigger();
            ASSERT_TRUE(pressed) << close << duringSort;
            EXPECT_FALSE(window.IsScanning());
            EXPECT_EQ(window.PanelText(1), QStringLiteral("Scan Terminated."));
            if (close) {
                QCoreApplication::processEvents();
                EXPECT_FALSE(window.isVisible());
                EXPECT_FALSE(window.rTxt->toPlainText().contains(QStringLiteral("readme.txt")))
                    << duringSort;
                // given up in the sort, nothing was laid out; a partial report is never
                // published as tmpfile.dmp
                EXPECT_FALSE(laidOutAfterClose);
                EXPECT_FALSE(QFileInfo::exists(MainFrm::StagingPath())) << duringSort;
            } else {
                // the tree layout lists what was gathered, cancelled or not
                EXPECT_TRUE(window.rTxt->toPlainText().contains(QStringLiteral("f599")));
            }
        }
    }
}

TEST_F(ScanInWindowTest, CancelAndCloseWhileThreadsReadFolders)
{
    for (int i = 0; i < 300; ++i)
        tree.file("many/d" + std::to_string(i) + "/f.txt", "");
    {
        SettingsStore store;
        store.setValue(QStringLiteral("Settings"), QStringLiteral("WalkThreads"),
                       QStringLiteral("4"));
        store.sync();
    }
    for (const bool close : {false, true}) {
        MainFrm window(&dialogs);
        addTree(window);
        window.show();
        dialogs.messageAnswers = {MessageResult::Yes};
        bool pressed = false;
        window.SetYieldHook([&] {
            if (pressed || !window.PanelText(1).startsWith(QStringLiteral("Scanning...")))
                return;
            pressed = true;
            if (close)
                window.close();
            else
                window.mnuCancel->trigger();
        });
        window.mnuScan->trigger();
        ASSERT_TRUE(pressed) << close;
        EXPECT_FALSE(window.IsScanning());
        EXPECT_EQ(window.PanelText(1), QStringLiteral("Scan Terminated.")) << close;
        if (close) {
            QCoreApplication::processEvents();
            EXPECT_FALSE(window.isVisible());
        } else {
            EXPECT_LT(window.rTxt->toPlainText().count(QStringLiteral("f.txt")), 300);
        }
    }
}

TEST_F(ScanInWindowTest, EditKeysActWindowWideAfterAScan)
{
    MainFrm window(&dialogs);
    addTree(window);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    window.mnuScan->trigger();
    ASSERT_TRUE(window.rTxt->toPlainText().contains(QStringLiteral("readme.txt")));
    ASSERT_FALSE(window.rTxt->hasFocus()); // the scan put the focus in the location list

    QTest::keyClick(window.SearchList, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(window.rTxt->toPlainText().isEmpty());
    QTest::keyClick(window.SearchList, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_TRUE(window.rTxt->toPlainText().contains(QStringLiteral("readme.txt")));
    QTest::keyClick(window.SearchList, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(window.rTxt->textCursor().selectedText().size(),
              window.rTxt->document()->characterCount() - 1);
}

TEST_F(ScanInWindowTest, LayoutFailureRetriedThenAbortedLeavesTheWindowIdle)
{
    // A file where the program folder should be: the layout cannot create its staging file.
    // (A folder in tmpfile.dmp's place no longer stops the layout, which writes a file of the
    // scan's own beside it.)
    const QString programFolder = QFileInfo(MainFrm::StagingPath()).path();
    ASSERT_TRUE(QDir(programFolder).removeRecursively());
    {
        QFile blocker(programFolder);
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    }
    struct Restore {
        QString folder;
        ~Restore()
        {
            QFile::remove(folder);
            QDir().mkpath(folder);
        }
    } restore{programFolder};
    MainFrm window(&dialogs);
    addTree(window);
    dialogs.errorChoices = {ErrorChoice::Retry, ErrorChoice::Abort};
    window.mnuScan->trigger();

    ASSERT_EQ(dialogs.errors.size(), 2); // asked again after Retry, then given up
    EXPECT_EQ(dialogs.errors[0].procedure, QStringLiteral("TreeView List"));
    EXPECT_EQ(dialogs.errors[1].line, dialogs.errors[0].line);
    EXPECT_EQ(window.PanelText(1), QStringLiteral("Scan Terminated."));
    EXPECT_FALSE(window.IsScanning());
    EXPECT_TRUE(window.mnuScan->isEnabled());
    EXPECT_FALSE(window.mnuCancel->isEnabled());
    EXPECT_FALSE(window.Timer1->isActive());
}

TEST_F(ScanInWindowTest, SavedJobOpensAsTheSameJob)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("mine.qjb"));
    Job saved;
    {
        MainFrm window(&dialogs);
        addTree(window);
        window.AddLocation({QStringLiteral("/srv/a,b"), QStringLiteral("No"),
                            QStringLiteral(".mp3;.JPG"), QString(), ScanLocation::kExcludedIcon});
        window.SelectReportType(ReportType::FolderList);
        window.optDesc->setChecked(true);
        window.cmbFontSize->setEditText(QStringLiteral("14"));
        saved = window.CurrentJob();
        dialogs.paths = {path};
        window.mnuSave->trigger();
        EXPECT_EQ(dialogs.fileDialogTitles.value(0), QStringLiteral("Save Job"));
    }
    MainFrm window(&dialogs);
    window.rTxt->setPlainText(QStringLiteral("stale"));
    dialogs.paths = {path};
    window.mnuOpen->trigger();
    EXPECT_EQ(window.CurrentJob(), saved);
    EXPECT_TRUE(window.rTxt->toPlainText().isEmpty());
    EXPECT_TRUE(window.cmdRemove->isEnabled());

    // A job file that cannot be read says why and leaves an empty job.
    dialogs.paths = {dir.filePath(QStringLiteral("missing.qjb"))};
    window.mnuOpen->trigger();
    EXPECT_EQ(dialogs.messages.last().title, QStringLiteral("Open Job"));
    EXPECT_TRUE(window.Locations().empty());
}

TEST_F(ScanInWindowTest, DefaultJobWrittenAtCloseAndRestoredAtStart)
{
    {
        MainFrm window(&dialogs);
        addTree(window);
        window.SelectReportType(ReportType::TreeViewWithSize);
        window.show();
        window.mnuClose->trigger();
    }
    MainFrm window(&dialogs);
    EXPECT_EQ(window.SelectedReportType(), ReportType::TreeViewWithSize);
    ASSERT_EQ(window.Locations().size(), 1u);
    EXPECT_EQ(window.Locations()[0].path, QString::fromStdString(tree.root()));
}

TEST_F(ScanInWindowTest, SaveAsChoosesTheFormatByName)
{
    MainFrm window(&dialogs);
    addTree(window);
    window.mnuScan->trigger();
    window.rTxt->append(QStringLiteral("edited by hand"));
    QTemporaryDir dir;
    auto saveAs = [&](const QString& name) {
        dialogs.paths = {dir.filePath(name)};
        window.mnuSaveAs->trigger();
        return readFile(dir.filePath(name));
    };
    const QByteArray upper = saveAs(QStringLiteral("REPORT.TXT"));
    EXPECT_TRUE(upper.contains("edited by hand"));
    EXPECT_FALSE(upper.startsWith("{\\rtf"));
    EXPECT_FALSE(saveAs(QStringLiteral("notes.rtf.txt")).startsWith("{\\rtf"));
    EXPECT_TRUE(saveAs(QStringLiteral("notes.rtf")).startsWith("{\\rtf"));
    window.SettleReportFiles();
    EXPECT_TRUE(readFile(MainFrm::StagingPath()).contains("encore.mp3")) << "published";
    {
        // Another process's run replaces tmpfile.dmp: the page is still this window's report.
        QFile other(MainFrm::StagingPath() + QStringLiteral(".other"));
        ASSERT_TRUE(other.open(QIODevice::WriteOnly));
        other.write("{\\rtf1 another process \\par\r\n}\r\n");
        other.close();
        ASSERT_TRUE(QFile::remove(MainFrm::StagingPath()));
        ASSERT_TRUE(other.rename(MainFrm::StagingPath()));
    }
    const QByteArray page = saveAs(QStringLiteral("page.html"));
    EXPECT_TRUE(page.startsWith("<html>"))
        << page.left(200).toStdString() << dialogs.messages.last().text.toStdString();
    EXPECT_TRUE(page.contains("encore.mp3"));
    EXPECT_FALSE(page.contains("another process"));
    EXPECT_FALSE(page.contains("edited by hand")); // the page is the report as generated

    const qsizetype before = dialogs.messages.size();
    EXPECT_TRUE(saveAs(QStringLiteral("list.doc")).isEmpty());
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("list.doc"))));
    EXPECT_EQ(dialogs.messages.size(), before + 1);

    // A failed save names the reason and keeps the old file whole.
    const QString old = dir.filePath(QStringLiteral("old.txt"));
    saveAs(QStringLiteral("old.txt"));
    const QByteArray kept = readFile(old);
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    dialogs.paths = {old};
    window.rTxt->setPlainText(QStringLiteral("new text"));
    window.mnuSaveAs->trigger();
    QFile::setPermissions(dir.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    if (::geteuid() != 0) { // root writes anywhere
        EXPECT_EQ(dialogs.messages.last().title, QStringLiteral("Save As"));
        EXPECT_EQ(dialogs.messages.last().icon, MessageIcon::Critical);
        EXPECT_EQ(readFile(old), kept);
    }
}
