#include "app/ExcludeFrm.h"
#include "FakeDialogs.h"
#include "ModalAnswer.h"
#include "app/MainFrm.h"
#include "platform/ProgramFolder.h"
#include "platform/SettingsStore.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using namespace quillon;
using quillon::test::FakeDialogs;
using quillon::test::WhenShown;

namespace {

class ExcludeFrmTest : public ::testing::Test {
protected:
    QString path() const { return dir.filePath(QStringLiteral("exclusion.lst")); }
    QByteArray fileText() const
    {
        QFile file(path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    QTemporaryDir dir;
    FakeDialogs dialogs;
};

} // namespace

TEST_F(ExcludeFrmTest, AddAndRemoveEntries)
{
    ExcludeFrm form(dialogs, path());
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Exclusion List"));
    EXPECT_FALSE(form.cmdFileRemove->isEnabled());

    // File names: kept as typed, duplicates allowed, blanks refused.
    for (const char* typed : {"a.txt", "   ", "a.txt", " b "}) {
        form.txtFileName->setText(QString::fromLatin1(typed));
        form.cmdFileAdd->click();
    }
    EXPECT_EQ(form.List().fileNames, (QStringList{QStringLiteral("a.txt"), QStringLiteral("a.txt"),
                                                  QStringLiteral(" b ")}));
    EXPECT_TRUE(form.txtFileName->text().isEmpty());
    EXPECT_TRUE(form.cmdFileRemove->isEnabled());

    // Folders: a cancelled browser and a folder differing only in case add nothing.
    dialogs.paths = {QStringLiteral("/tmp/Temp"), QString(), QStringLiteral("/TMP/temp"),
                     QStringLiteral("/var")};
    for (int i = 0; i < 4; ++i)
        form.cmdFolderAdd->click();
    EXPECT_EQ(dialogs.folderPrompts.value(0), QStringLiteral("Choose Folder to exclude"));
    EXPECT_EQ(form.List().folders,
              (QStringList{QStringLiteral("/tmp/Temp"), QStringLiteral("/var")}));

    // Remove with nothing selected does nothing; the last removal disables the button.
    form.cmdFolderRemove->click();
    EXPECT_EQ(form.lstFolder->count(), 2);
    for (int i = 0; i < 2; ++i) {
        form.lstFolder->setCurrentRow(0);
        form.cmdFolderRemove->click();
    }
    EXPECT_EQ(form.lstFolder->count(), 0);
    EXPECT_FALSE(form.cmdFolderRemove->isEnabled());
}

TEST_F(ExcludeFrmTest, ExtensionBoxTakesOnlyLettersAndDigits)
{
    ExcludeFrm form(dialogs, path());
    form.show();
    QTest::keyClicks(form.txtExtension, QStringLiteral("t.x* t"));
    EXPECT_EQ(form.txtExtension->text(), QStringLiteral("txt"));
    QTest::keyClick(form.txtExtension, Qt::Key_Backspace);
    QTest::keyClicks(form.txtExtension, QStringLiteral("T9"));
    form.cmdExtensionAdd->click();
    form.cmdExtensionAdd->click(); // empty box: nothing
    EXPECT_EQ(form.List().extensions, QStringList{QStringLiteral("*.txT9")});
    EXPECT_TRUE(form.cmdExtensionRemove->isEnabled());
}

TEST_F(ExcludeFrmTest, OkKeepsTheFlagCloseBoxReloads)
{
    ExcludeFrm form(dialogs, path());
    form.txtFileName->setText(QStringLiteral("Thumbs.db"));
    form.cmdFileAdd->click();
    form.txtExtension->setText(QStringLiteral("tmp"));
    form.cmdExtensionAdd->click();
    form.chkFolderSubFolder->setChecked(true);

    form.show();
    form.Command6->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(fileText(), QByteArray("Thumbs.db\r\n<<Folder List Start Here>>\r\n"
                                     "<<Extension List Start Here>>\r\n*.tmp\r\n"));
    EXPECT_TRUE(form.List().includeSubFolders);

    form.show();
    form.chkFolderSubFolder->setChecked(true);
    form.txtFileName->setText(QStringLiteral("x"));
    form.cmdFileAdd->click();
    form.close();
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(fileText().startsWith("Thumbs.db\r\nx\r\n"));
    // Unloaded: the lists come back from the file and the flag starts clear.
    EXPECT_FALSE(form.List().includeSubFolders);
    EXPECT_EQ(form.List().fileNames.size(), 2);

    ExcludeFrm reread(dialogs, path());
    EXPECT_EQ(reread.List().fileNames, form.List().fileNames);
    EXPECT_EQ(reread.List().extensions, QStringList{QStringLiteral("*.tmp")});
    EXPECT_TRUE(reread.cmdFileRemove->isEnabled());
    EXPECT_FALSE(reread.cmdFolderRemove->isEnabled());
}

TEST_F(ExcludeFrmTest, FailedSaveTellsWhyAndKeepsTheLists)
{
    ExcludeFrm form(dialogs, dir.filePath(QStringLiteral("missing/folder/exclusion.lst")));
    form.txtFileName->setText(QStringLiteral("keep.me"));
    form.cmdFileAdd->click();
    form.show();
    form.close();
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].text.startsWith(
        QStringLiteral("The exclusion list could not be saved")));
    // Why stands on a line of its own, ended as a message box ends lines.
    EXPECT_TRUE(dialogs.messages[0].text.contains(QStringLiteral("exclusion.lst.\n")))
        << qPrintable(dialogs.messages[0].text);
    EXPECT_FALSE(dialogs.messages[0].text.contains(QLatin1Char('\r')));
    EXPECT_EQ(form.List().fileNames, QStringList{QStringLiteral("keep.me")});
}

TEST_F(ExcludeFrmTest, AListItCouldNotReadIsToldAndNeverSavedOver)
{
    QByteArray text;
    while (text.size() <= 4 * 1024 * 1024)
        text += "name" + QByteArray::number(text.size()) + "\r\n";
    {
        QFile file(path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    ExcludeFrm form(dialogs, path());
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].text.contains(path()))
        << dialogs.messages[0].text.toStdString();
    form.txtFileName->setText(QStringLiteral("new.txt"));
    form.cmdFileAdd->click();
    EXPECT_FALSE(form.SaveExclusionList());
    EXPECT_EQ(fileText(), text);
}

// The window hands each scan the dialog's lists as they stand and saves them at close.
TEST_F(ExcludeFrmTest, WindowUsesTheDialogsLists)
{
    const QString programList = ProgramFile(QStringLiteral("exclusion.lst"));
    QFile::remove(programList);
    QFile::remove(MainFrm::DefaultJobPath());
    {
        MainFrm window(&dialogs);
        dialogs.paths = {QStringLiteral("/srv/cache")};
        WhenShown<ExcludeFrm>(&window, [](ExcludeFrm* form) {
            form->cmdFolderAdd->click();
            form->chkFolderSubFolder->setChecked(true);
            form->Command6->click();
        });
        window.cmdExclude->click();
        EXPECT_EQ(window.Exclusions().folders, QStringList{QStringLiteral("/srv/cache")});
        EXPECT_TRUE(window.Exclusions().includeSubFolders);

        // While a scan runs the button opens nothing.
        window.SetScanningState(false);
        window.cmdExclude->click();
        window.SetScanningState(true);
        EXPECT_EQ(dialogs.folderPrompts.size(), 1);

        // Edits count for scans at once and reach the file when the program ends.
        window.findChild<ExcludeFrm*>()->lstFileName->addItem(QStringLiteral("core"));
        EXPECT_EQ(window.Exclusions().fileNames, QStringList{QStringLiteral("core")});
    }
    const ExclusionList saved = LoadExclusionList(programList);
    EXPECT_EQ(saved.fileNames, QStringList{QStringLiteral("core")});
    EXPECT_EQ(saved.folders, QStringList{QStringLiteral("/srv/cache")});
    QFile::remove(programList);
    QFile::remove(SettingsStore().fileName());
}
