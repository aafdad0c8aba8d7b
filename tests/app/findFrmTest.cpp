#include "app/findFrm.h"
#include "FakeDialogs.h"
#include "app/MainFrm.h"
#include "output/FindReplace.h"
#include "platform/SettingsStore.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <gtest/gtest.h>

using namespace quillon;
using quillon::test::FakeDialogs;

namespace {

class findFrmTest : public ::testing::Test {
protected:
    void SetUp() override { pane.setPlainText(QStringLiteral("log catalog\nREADME.TXT log")); }

    QTextEdit pane;
    FakeDialogs dialogs;
};

} // namespace

TEST_F(findFrmTest, ControlsAndTexts)
{
    findFrm form(&pane, dialogs);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Find and Replace"));
    EXPECT_TRUE(form.isModal());
    EXPECT_EQ(form.Label1->text(), QStringLiteral("Find what"));
    EXPECT_EQ(form.Label2->text(), QStringLiteral("Replace with"));
    EXPECT_EQ(form.Check1->text(), QStringLiteral("Case sensitive"));
    EXPECT_EQ(form.Check2->text(), QStringLiteral("Whole word only"));
    EXPECT_EQ(form.FindButton->text(), QStringLiteral("Find Next"));
    EXPECT_EQ(form.ReplaceButton->text(), QStringLiteral("Replace"));
    EXPECT_EQ(form.ReplaceAllButton->text(), QStringLiteral("Replace All"));
    EXPECT_EQ(form.Command5->text(), QStringLiteral("Cancel"));
    EXPECT_TRUE(form.FindButton->isDefault());
    for (const char* name : {"Text1", "Text2", "Check1", "Check2", "FindButton", "ReplaceButton",
                             "ReplaceAllButton", "Command5"}) {
        auto* widget = form.findChild<QWidget*>(QLatin1String(name));
        ASSERT_NE(widget, nullptr) << name;
        EXPECT_TRUE(widget->isEnabled()) << name;
    }
}

TEST_F(findFrmTest, FindNextSelectsInThePaneAndTellsWhenNothingIsLeft)
{
    findFrm form(&pane, dialogs);
    form.show();
    EXPECT_TRUE(form.Text1->hasFocus() || !QApplication::focusWidget());
    form.FindButton->click(); // empty text: nothing at all
    EXPECT_TRUE(dialogs.messages.isEmpty());

    QTest::keyClicks(form.Text1, QStringLiteral("log"));
    form.Check2->setChecked(true);
    QTest::keyClick(form.Text1, Qt::Key_Return); // Enter presses Find Next
    EXPECT_EQ(pane.textCursor().selectionStart(), 0);
    form.FindButton->click();
    EXPECT_EQ(pane.textCursor().selectionStart(), 23); // not inside "catalog"
    form.FindButton->click();
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages[0].text, QStringLiteral("String not found"));
    EXPECT_EQ(dialogs.messages[0].title, QStringLiteral("Search Help"));
    form.FindButton->click();
    EXPECT_EQ(pane.textCursor().selectionStart(), 0); // from the top again
}

TEST_F(findFrmTest, ReplaceAndReplaceAllChangeThePane)
{
    findFrm form(&pane, dialogs);
    form.Text1->setText(QStringLiteral("readme"));
    form.Text2->setText(QStringLiteral("notes"));
    form.ReplaceButton->click(); // nothing selected: only moves to the match
    EXPECT_EQ(pane.toPlainText(), QStringLiteral("log catalog\nREADME.TXT log"));
    EXPECT_EQ(pane.textCursor().selectedText(), QStringLiteral("README"));
    form.ReplaceButton->click();
    EXPECT_EQ(pane.toPlainText(), QStringLiteral("log catalog\nnotes.TXT log"));

    form.Check1->setChecked(true);
    form.Text1->setText(QStringLiteral("log"));
    form.Text2->setText(QStringLiteral("blog"));
    form.ReplaceAllButton->click();
    EXPECT_EQ(pane.toPlainText(), QStringLiteral("blog catablog\nnotes.TXT blog"));
    EXPECT_TRUE(dialogs.messages.isEmpty());
}

TEST_F(findFrmTest, CancelStopsReplaceAll)
{
    // The events run between slices of replacements; Cancel in the first stops the run there.
    const int total = 3 * FindReplace::kSliceReplacements;
    pane.setPlainText(QStringLiteral("a ").repeated(total));
    findFrm form(&pane, dialogs);
    form.Text1->setText(QStringLiteral("a"));
    form.Text2->setText(QStringLiteral("b"));
    form.yield = [&] { form.Command5->click(); };
    form.open();
    form.ReplaceAllButton->click();
    const auto replaced = pane.toPlainText().count(QLatin1Char('b'));
    EXPECT_GT(replaced, 0);
    EXPECT_LE(replaced, FindReplace::kSliceReplacements);
    EXPECT_FALSE(form.isVisible());
}

TEST_F(findFrmTest, EditMenuOpensAFreshDialogOverThePane)
{
    QFile::remove(SettingsStore().fileName());
    QFile::remove(MainFrm::DefaultJobPath());
    MainFrm window(&dialogs);
    window.rTxt->setPlainText(QStringLiteral("one one"));
    QList<int> starts;
    auto findOnceAndClose = [&] {
        QTimer::singleShot(0, [&] {
            auto* form = qobject_cast<findFrm*>(QApplication::activeModalWidget());
            ASSERT_NE(form, nullptr);
            form->Text1->setText(QStringLiteral("one"));
            form->FindButton->click();
            starts.append(window.rTxt->textCursor().selectionStart());
            form->FindButton->click();
            starts.append(window.rTxt->textCursor().selectionStart());
            QTest::keyClick(form, Qt::Key_Escape);
        });
    };
    findOnceAndClose();
    window.mnuFind->trigger();
    findOnceAndClose();
    window.mnuFindReplace->trigger();
    EXPECT_EQ(starts, (QList<int>{0, 4, 0, 4}));
    EXPECT_TRUE(window.mnuFind->isEnabled());
}
