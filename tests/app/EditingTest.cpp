#include "FakeDialogs.h"
#include "FirstRun.h"
#include "app/MainFrm.h"
#include "app/findFrm.h"
#include "output/EditHistory.h"
#include "output/FindReplace.h"
#include "platform/SettingsStore.h"
#include "support/FixtureTree.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextLayout>
#include <QToolBar>
#include <gtest/gtest.h>

using namespace quillon;
using quillon::test::FakeDialogs;

namespace {

std::unique_ptr<QTextDocument> documentWith(const QString& text)
{
    auto document = std::make_unique<QTextDocument>();
    document->setPlainText(text);
    return document;
}

class EditingTest : public test::FirstRunTest {
protected:
    // Selects characters [start, start + length) of the pane.
    static void select(MainFrm& window, int start, int length)
    {
        QTextCursor cursor(window.rTxt->document());
        cursor.setPosition(start);
        cursor.setPosition(start + length, QTextCursor::KeepAnchor);
        window.rTxt->setTextCursor(cursor);
        window.UpdateToggles();
    }

    FakeDialogs dialogs;
};

} // namespace

TEST_F(EditingTest, PacedBackgroundLayoutReachesTheLastLine)
{
    MainFrm window(&dialogs);
    window.show();
    QString lines;
    for (int i = 0; i < 20000; ++i)
        lines += QStringLiteral("line %1 of the report\n").arg(i);
    window.ReplacePaneDocument(documentWith(lines));
    const QTextDocument* shown = window.rTxt->document();
    auto laidOut = [&] {
        const QTextLayout* layout = shown->lastBlock().layout();
        return layout && layout->lineCount() > 0;
    };
    QElapsedTimer clock;
    clock.start();
    while (!laidOut() && clock.elapsed() < 60000)
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    EXPECT_TRUE(laidOut());
    // Every block on the way was laid out too, in order, one line each.
    EXPECT_EQ(shown->findBlockByNumber(12345).layout()->lineCount(), 1);
}

TEST_F(EditingTest, UndoGivesBackThePaneBeforeAReportAndNewJob)
{
    MainFrm window(&dialogs);
    window.ReplacePaneDocument(documentWith(QStringLiteral("the report")));
    EXPECT_EQ(window.rTxt->toPlainText(), QStringLiteral("the report"));
    window.mnuNew->trigger();
    EXPECT_TRUE(window.rTxt->toPlainText().isEmpty());

    window.mnuUndo->trigger();
    EXPECT_EQ(window.rTxt->toPlainText(), QStringLiteral("the report"));
    window.mnuUndo->trigger();
    EXPECT_TRUE(window.rTxt->toPlainText().isEmpty());
    window.mnuUndo->trigger();                   // at slot 0: nothing
    window.Toolbar2->actions().at(2)->trigger(); // Redo button
    EXPECT_EQ(window.rTxt->toPlainText(), QStringLiteral("the report"));
}

TEST_F(EditingTest, UndoAfterAScanGivesBackThePaneBeforeIt)
{
    quillon::test::FixtureTree tree;
    tree.file("notes.txt", "1");
    MainFrm window(&dialogs);
    window.rTxt->textCursor().insertText(QStringLiteral("typed"));
    window.AddLocation({QString::fromStdString(tree.root()), QStringLiteral("Yes"),
                        QStringLiteral("*.*"), QStringLiteral("All Levels"),
                        ScanLocation::kScanIcon});
    window.SelectReportType(ReportType::FolderList);
    window.mnuScan->trigger();
    const QString report = window.rTxt->toPlainText();
    ASSERT_NE(report, QStringLiteral("typed"));

    window.mnuUndo->trigger();
    EXPECT_EQ(window.rTxt->toPlainText(), QStringLiteral("typed"));
    window.mnuRedo->trigger();
    EXPECT_EQ(window.rTxt->toPlainText(), report);
    EXPECT_EQ(window.rTxt->lineWrapMode(), QTextEdit::NoWrap);
}

TEST_F(EditingTest, ReplaceAllIsOneUndoStep)
{
    MainFrm window(&dialogs);
    // More matches than one slice of the run holds, so it is made of several edit blocks.
    const QString text =
        QStringLiteral("a log\n").repeated(2 * FindReplace::kSliceReplacements + 5);
    window.ReplacePaneDocument(documentWith(text));
    findFrm form(window.rTxt, dialogs, &window);
    form.Text1->setText(QStringLiteral("log"));
    form.Text2->setText(QStringLiteral("blog"));
    form.ReplaceAllButton->click();
    const QString replaced = window.rTxt->toPlainText();
    ASSERT_EQ(replaced.count(QStringLiteral("blog")), 2 * FindReplace::kSliceReplacements + 5);

    window.mnuUndo->trigger();
    EXPECT_EQ(window.rTxt->toPlainText(), text);
    window.mnuRedo->trigger();
    EXPECT_EQ(window.rTxt->toPlainText(), replaced);
}

TEST_F(EditingTest, KeysInThePaneGoThroughTheHistory)
{
    MainFrm window(&dialogs);
    window.show();
    window.rTxt->setFocus();
    QTest::keyClicks(window.rTxt, QStringLiteral("abc"));
    EXPECT_EQ(window.History().Position(), 3);
    QTest::keyClick(window.rTxt, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(window.rTxt->toPlainText(), QStringLiteral("ab"));
    QTest::keyClick(window.rTxt, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(window.rTxt->toPlainText(), QStringLiteral("abc"));
}

TEST_F(EditingTest, TogglesFollowTheWholeSelection)
{
    MainFrm window(&dialogs);
    window.ReplacePaneDocument(documentWith(QStringLiteral("bold plain")));
    QAction* bold = window.Toolbar2->actions().at(4);
    select(window, 0, 4);
    bold->trigger();
    EXPECT_TRUE(bold->isChecked());

    select(window, 0, 10); // partly bold
    EXPECT_FALSE(bold->isChecked());
    bold->trigger();
    select(window, 5, 5);
    EXPECT_TRUE(bold->isChecked());

    // The formatting is a change Undo takes back.
    window.Undo();
    select(window, 5, 5);
    EXPECT_FALSE(bold->isChecked());
}

TEST_F(EditingTest, ClipboardCommandsCarryPlainText)
{
    MainFrm window(&dialogs);
    window.ReplacePaneDocument(documentWith(QStringLiteral("alpha beta")));
    select(window, 0, 5);
    window.Toolbar2->actions().at(5)->trigger(); // italic
    window.mnuCopy->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("alpha"));

    // Pasted at the end it takes the format there, not the italic of the copy.
    QTextCursor end(window.rTxt->document());
    end.movePosition(QTextCursor::End);
    window.rTxt->setTextCursor(end);
    window.mnuPaste->trigger();
    EXPECT_EQ(window.rTxt->toPlainText(), QStringLiteral("alpha betaalpha"));
    select(window, 10, 5);
    EXPECT_FALSE(window.Toolbar2->actions().at(5)->isChecked());

    select(window, 5, 5);
    window.mnuCut->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral(" beta"));
    window.mnuSelect->trigger();
    window.mnuDelete->trigger();
    EXPECT_TRUE(window.rTxt->toPlainText().isEmpty());
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral(" beta")); // Delete leaves it

    QApplication::clipboard()->clear();
    window.mnuPaste->trigger(); // an empty clipboard pastes nothing
    EXPECT_TRUE(window.rTxt->toPlainText().isEmpty());
}

TEST_F(EditingTest, FontBoxesAndColourActOnTheSelection)
{
    MainFrm window(&dialogs);
    window.show();
    window.rTxt->setFocus();
    window.cmbFontSize->setEditText(QStringLiteral("20"));
    QTest::keyClicks(window.rTxt, QStringLiteral("big"));
    EXPECT_EQ(window.rTxt->document()->begin().begin().fragment().charFormat().fontPointSize(),
              20.0);

    select(window, 0, 3);
    const QString swatch = window.Label2->styleSheet();
    window.Toolbar2->actions().at(7)->trigger(); // the picker is cancelled
    EXPECT_EQ(window.Label2->styleSheet(), swatch);
    dialogs.colours = {QString::number(0x0000ffu)};
    window.Toolbar2->actions().at(7)->trigger();
    EXPECT_EQ(window.rTxt->document()->begin().begin().fragment().charFormat().foreground().color(),
              QColor(Qt::red));
}
