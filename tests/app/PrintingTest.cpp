#include "FakeDialogs.h"
#include "app/MainFrm.h"
#include "platform/SettingsStore.h"

#include <QAction>
#include <QFile>
#include <QProgressDialog>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QToolBar>
#include <gtest/gtest.h>

using namespace quillon;
using quillon::test::FakeDialogs;

namespace {

int pdfPageCount(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    static const QRegularExpression page(QStringLiteral(R"(/Type\s*/Page(?![s\w]))"));
    return int(QString::fromLatin1(file.readAll()).count(page));
}

QString longReport()
{
    QStringList lines;
    for (int i = 1; i <= 250; ++i)
        lines.append(QStringLiteral("/home/user/data/file%1.txt    %2 KB").arg(i).arg(i * 3));
    return lines.join(QLatin1Char('\n'));
}

class PrintingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QFile::remove(SettingsStore().fileName());
        m_locale = QLocale();
        dialogs.printPdfPath = m_dir.filePath(QStringLiteral("report.pdf"));
    }
    void TearDown() override
    {
        QLocale::setDefault(m_locale);
        QFile::remove(SettingsStore().fileName());
    }

    static QString storedMargin(const QString& key)
    {
        return SettingsStore().value(QStringLiteral("Margins"), key);
    }

    FakeDialogs dialogs;
    QTemporaryDir m_dir;
    QLocale m_locale;
};

} // namespace

TEST_F(PrintingTest, PrintWritesTheWholeReportOnlyWhenConfirmed)
{
    MainFrm window(&dialogs);
    window.rTxt->setPlainText(longReport());
    EXPECT_TRUE(window.mnuPrint->isEnabled());

    window.mnuPrint->trigger(); // cancelled: nothing printed
    EXPECT_EQ(dialogs.printDialogs, 1);
    EXPECT_FALSE(QFile::exists(dialogs.printPdfPath));

    // The tool bar's Print button runs the same command.
    dialogs.printAnswers.push_back(true);
    QTest::mouseClick(window.Toolbar1->widgetForAction(window.mnuPrint), Qt::LeftButton);
    EXPECT_EQ(dialogs.printDialogs, 2);
    EXPECT_GT(pdfPageCount(dialogs.printPdfPath), 2);
    EXPECT_TRUE(dialogs.messages.isEmpty());

    window.SetScanningState(false);
    EXPECT_FALSE(window.mnuPrint->isEnabled());
    EXPECT_FALSE(window.mnuPageSetup->isEnabled());
    window.SetScanningState(true);
    EXPECT_TRUE(window.mnuPageSetup->isEnabled());
}

TEST_F(PrintingTest, CancelInTheProgressDialogStopsPrintingWithoutAnError)
{
    MainFrm window(&dialogs);
    window.rTxt->setPlainText(longReport());
    // The user presses Cancel as soon as the window's events run.
    int looks = 0;
    window.SetYieldHook([&] {
        ++looks;
        if (auto* progress = window.findChild<QProgressDialog*>())
            progress->cancel();
    });
    dialogs.printAnswers.push_back(true);
    window.Print();
    EXPECT_GT(looks, 0);
    EXPECT_FALSE(QFile::exists(dialogs.printPdfPath)); // stopped before the first page
    EXPECT_TRUE(dialogs.messages.isEmpty());           // a cancel is no failure
}

TEST_F(PrintingTest, PrintFailuresAreToldToTheUser)
{
    MainFrm window(&dialogs);
    window.rTxt->setPlainText(longReport());

    dialogs.printPdfPath = QStringLiteral("/nonexistent-folder/report.pdf");
    dialogs.printAnswers.push_back(true);
    window.Print();
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages[0].text, QStringLiteral("Unexpected Error in printing"));

    // Margins wider than the paper: nothing printed, the user is told why.
    dialogs.printPdfPath = m_dir.filePath(QStringLiteral("none.pdf"));
    dialogs.printAnswers.push_back(true);
    dialogs.pageSetupAnswers.push_back(PageMargins{9000, 9000, 720, 720});
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    window.PageSetup();
    window.Print();
    ASSERT_EQ(dialogs.messages.size(), 2);
    EXPECT_TRUE(dialogs.messages[1].text.contains(QStringLiteral("margins")));
    EXPECT_FALSE(QFile::exists(dialogs.printPdfPath));
}

TEST_F(PrintingTest, PageSetupShowsTheUsersUnitAndStoresTwips)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    {
        SettingsStore store;
        store.setValue(QStringLiteral("Margins"), QStringLiteral("Top"), QStringLiteral("1000"));
    }
    MainFrm window(&dialogs);
    EXPECT_EQ(window.Margins().top, 1000);

    window.mnuPageSetup->trigger(); // cancelled: nothing changes, nothing is written
    ASSERT_EQ(dialogs.pageSetupShown.size(), 1);
    EXPECT_EQ(dialogs.pageSetupShown[0], (PageMargins{694, 500, 500, 500}));
    EXPECT_FALSE(dialogs.pageSetupMetric[0]);
    EXPECT_EQ(window.Margins().top, 1000);
    EXPECT_TRUE(storedMargin(QStringLiteral("Bottom")).isEmpty());

    dialogs.pageSetupAnswers.push_back(PageMargins{694, 500, 1000, 250}); // confirmed
    window.PageSetup();
    EXPECT_EQ(window.Margins(), (PageMargins{999, 720, 1440, 360}));
    EXPECT_EQ(storedMargin(QStringLiteral("Top")), QStringLiteral("999"));
    EXPECT_EQ(storedMargin(QStringLiteral("Right")), QStringLiteral("360"));

    // The unit is read at each call: the same margins in hundredths of a millimetre.
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    window.PageSetup();
    EXPECT_EQ(dialogs.pageSetupShown.last(), (PageMargins{1762, 1270, 2540, 635}));
    EXPECT_TRUE(dialogs.pageSetupMetric.last());

    // A new window starts with the stored margins.
    MainFrm second(&dialogs);
    EXPECT_EQ(second.Margins(), (PageMargins{999, 720, 1440, 360}));
}

TEST_F(PrintingTest, WiderMarginsGiveMorePages)
{
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    MainFrm window(&dialogs);
    window.rTxt->setPlainText(longReport());

    dialogs.printAnswers.push_back(true);
    window.Print();
    const int normal = pdfPageCount(dialogs.printPdfPath);

    dialogs.pageSetupAnswers.push_back(PageMargins{6000, 6000, 2000, 2000}); // 6 cm top, bottom
    window.PageSetup();
    dialogs.printPdfPath = m_dir.filePath(QStringLiteral("wide.pdf"));
    dialogs.printAnswers.push_back(true);
    window.Print();
    EXPECT_GT(pdfPageCount(dialogs.printPdfPath), normal);
    EXPECT_GT(normal, 1);
}
