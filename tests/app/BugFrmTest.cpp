#include "app/BugFrm.h"
#include "FakeDialogs.h"
#include "UrlCatcher.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

using namespace quillon;
using quillon::test::FakeDialogs;
using quillon::test::UrlCatcher;

namespace {

ErrorReport sampleReport()
{
    return ErrorReport{13, QStringLiteral("Type mismatch"), QStringLiteral("Scanning"), 10};
}

// Runs action on the dialog once its modal loop has started.
void whenShown(BugFrm& dialog, std::function<void(BugFrm&)> action)
{
    QTimer::singleShot(0, &dialog, [&dialog, action] { action(dialog); });
}

} // namespace

TEST(BugFrmTest, ShowsTheReportInItsLabels)
{
    FakeDialogs dialogs;
    BugFrm dialog(dialogs);
    dialog.SetReport(sampleReport());
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Bug Report"));
    EXPECT_EQ(dialog.lblmsg1->text(), QStringLiteral("Please tell Tessaly about this problem."));
    EXPECT_TRUE(dialog.lblmsg1->font().bold());
    EXPECT_EQ(dialog.lblErrNo->text(), QStringLiteral("13"));
    EXPECT_EQ(dialog.lblErrDesc->text(), QStringLiteral("Type mismatch"));
    EXPECT_EQ(dialog.lblErrPro->text(), QStringLiteral("Scanning"));
    EXPECT_EQ(dialog.lblErrLine->text(), QStringLiteral("10"));
    EXPECT_EQ(dialog.Command1->text(), QStringLiteral("Retry"));
    EXPECT_EQ(dialog.Command2->text(), QStringLiteral("Abort"));
    EXPECT_EQ(dialog.Command3->text(), QStringLiteral("Send Error Report"));
    EXPECT_EQ(dialog.ReturnCode(), 0);
}

TEST(BugFrmTest, RetryAbortAndCloseBox)
{
    FakeDialogs dialogs;
    BugFrm dialog(dialogs);
    whenShown(dialog, [](BugFrm& d) { d.Command1->click(); });
    EXPECT_EQ(dialog.Ask(sampleReport()), ErrorChoice::Retry);
    EXPECT_EQ(dialog.ReturnCode(), 1);

    whenShown(dialog, [](BugFrm& d) { d.Command2->click(); });
    EXPECT_EQ(dialog.Ask(sampleReport()), ErrorChoice::Abort);
    EXPECT_EQ(dialog.ReturnCode(), 2);

    // The close box after an earlier Retry must not reuse that answer.
    whenShown(dialog, [](BugFrm& d) { d.Command1->click(); });
    dialog.Ask(sampleReport());
    whenShown(dialog, [](BugFrm& d) { d.close(); });
    EXPECT_EQ(dialog.Ask(sampleReport()), ErrorChoice::Abort);
    EXPECT_EQ(dialog.ReturnCode(), 0);
}

TEST(BugFrmTest, SendErrorReportFillsClipboardTellsUserAndOpensMail)
{
    FakeDialogs dialogs;
    UrlCatcher mail(QStringLiteral("mailto"));
    BugFrm dialog(dialogs);
    dialog.SetReport(sampleReport());
    QGuiApplication::clipboard()->setText(QStringLiteral("old"));

    dialog.Command3->click();
    const QString expected = QStringLiteral(
        "Error No    : 13\r\nDescription : Type mismatch\r\nProcedure   : Scanning\r\n"
        "Error Line  : 10\r\nProduct     : Quillon\r\nVersion     : 1.0\r\n"
        "Build       : 1.0\r\n\r\n< Please describe here what you were doing "
        "exactly when this error occurred >");
    EXPECT_EQ(QGuiApplication::clipboard()->text(), expected);
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages[0].title, QStringLiteral("Thank You"));
    EXPECT_EQ(dialogs.messages[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(dialogs.messages[0].text,
              QStringLiteral("Please send the message manually.\r\nFull instructions have been "
                             "copied to the clipboard.\r\n\r\nThank you."));
    ASSERT_EQ(mail.urls.size(), 1);
    EXPECT_EQ(mail.urls[0].scheme(), QStringLiteral("mailto"));
    EXPECT_TRUE(mail.urls[0].toString().contains(QStringLiteral("subject=Bug Report")));

    // The user's own lines follow the empty line, each ended as the header lines are.
    dialog.Text1->setPlainText(QStringLiteral("I pressed Scan\nthen it broke"));
    dialog.Command3->click();
    EXPECT_TRUE(QGuiApplication::clipboard()->text().endsWith(
        QStringLiteral("1.0\r\n\r\nI pressed Scan\r\nthen it broke")));
    EXPECT_EQ(mail.urls.size(), 2);
    EXPECT_EQ(dialog.ReturnCode(), 0); // the dialog stays open for Retry or Abort
}
