#include "app/FolderFrm.h"
#include "FakeDialogs.h"
#include "FirstRun.h"
#include "ModalAnswer.h"
#include "app/MainFrm.h"
#include "platform/SettingsStore.h"

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>
#include <gtest/gtest.h>

using namespace quillon;
using quillon::test::FakeDialogs;
using quillon::test::WhenShown;

namespace {

const QString kTypes = QStringLiteral("File Types");

class FolderFrmTest : public test::FirstRunTest {
protected:
    // Shows the dialog and lets its opening browse run, answering with folder.
    void open(FolderFrm& form, const QString& folder)
    {
        dialogs.paths = {folder};
        form.show();
        QTRY_COMPARE(dialogs.folderPrompts.size(), 1);
    }

    static QStringList extensions(const FolderFrm& form)
    {
        QStringList out;
        for (const FileType& type : form.FileTypesShown())
            out.append(type.extension);
        return out;
    }

    static void tick(FolderFrm& form, const QString& extension)
    {
        const auto items = form.FType->findItems(extension, Qt::MatchExactly);
        ASSERT_EQ(items.size(), 1);
        items[0]->setCheckState(0, Qt::Checked);
    }

    FakeDialogs dialogs;
};

} // namespace

TEST_F(FolderFrmTest, OpensWithDefaultsAndBrowsesAtOnce)
{
    FolderFrm form(dialogs);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Add/Exclude Folders"));
    EXPECT_EQ(extensions(form).join(QLatin1Char(' ')),
              QStringLiteral(".mp3 .wma .jpg .gif .exe .zip .mpg .wav .ra .avi"));
    EXPECT_TRUE(form.Check1->isChecked());
    EXPECT_FALSE(form.Check2->isChecked());
    EXPECT_EQ(form.Text2->text(), QStringLiteral("1"));
    EXPECT_TRUE(form.Option1->isChecked());
    EXPECT_FALSE(form.cmdFileAdd->isEnabled());
    EXPECT_FALSE(form.cmdFileDelete->isEnabled());
    EXPECT_FALSE(form.FType->isEnabled());
    // The defaults are offered, not stored.
    EXPECT_FALSE(SettingsStore().hasSection(kTypes));

    open(form, QString()); // the browser is cancelled
    EXPECT_EQ(dialogs.folderPrompts[0], QStringLiteral("Choose Folder to Search"));
    EXPECT_TRUE(form.Text1->text().isEmpty());
    EXPECT_FALSE(form.cmdOK->isEnabled());

    dialogs.paths = {QStringLiteral("/home/u/Music")};
    form.Command2->click();
    EXPECT_EQ(form.Text1->text(), QStringLiteral("/home/u/Music"));
    EXPECT_TRUE(form.cmdOK->isEnabled());
}

TEST_F(FolderFrmTest, FilterFollowsListOrderAndNeedsATick)
{
    FolderFrm form(dialogs);
    open(form, QStringLiteral("/m"));
    tick(form, QStringLiteral(".jpg"));
    tick(form, QStringLiteral(".mp3"));

    // "Scan All Files" wins whatever is ticked.
    form.cmdOK->click();
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.FileTypes, QStringLiteral("*.*"));

    FolderFrm typed(dialogs);
    dialogs.folderPrompts.clear();
    open(typed, QStringLiteral("/m"));
    typed.Option2->click();
    EXPECT_TRUE(typed.FType->isEnabled());
    EXPECT_TRUE(typed.cmdFileAdd->isEnabled());
    typed.cmdOK->click();
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_EQ(dialogs.messages[0].text, QStringLiteral("Please select at least one file type"));
    EXPECT_EQ(dialogs.messages[0].title, QStringLiteral("Error"));
    EXPECT_EQ(dialogs.messages[0].buttons, MessageButtons::Ok);
    EXPECT_TRUE(typed.isVisible());

    tick(typed, QStringLiteral(".jpg"));
    tick(typed, QStringLiteral(".mp3"));
    typed.cmdOK->click();
    EXPECT_FALSE(typed.isVisible());
    EXPECT_EQ(typed.FileTypes, QStringLiteral(".mp3;.jpg"));
    EXPECT_EQ(typed.Folder, QStringLiteral("/m"));
}

TEST_F(FolderFrmTest, LevelFollowsTheSubFolderChoices)
{
    FolderFrm form(dialogs);
    open(form, QStringLiteral("/m"));
    form.Check2->click();
    EXPECT_FALSE(form.Text2->isEnabled());
    form.cmdOK->click();
    EXPECT_EQ(form.SubFolder, QStringLiteral("Yes"));
    EXPECT_EQ(form.Level, QStringLiteral("All Levels"));

    form.show();
    form.Check1->click(); // sub-folders off
    EXPECT_FALSE(form.Check2->isEnabled());
    EXPECT_FALSE(form.Text2->isEnabled());
    form.cmdOK->click();
    EXPECT_EQ(form.SubFolder, QStringLiteral("No"));
    EXPECT_EQ(form.Level, QString());

    form.show();
    form.Check1->click(); // on again: "All Levels" still ticked keeps the box off
    EXPECT_TRUE(form.Check2->isEnabled());
    EXPECT_FALSE(form.Text2->isEnabled());
    form.Check2->click();
    EXPECT_TRUE(form.Text2->isEnabled());
    for (const char* bad : {"two", "1.5", "", "-1", "99999"}) {
        dialogs.messages.clear();
        form.Text2->setText(QString::fromLatin1(bad));
        form.cmdOK->click();
        EXPECT_TRUE(form.isVisible()) << bad;
        ASSERT_EQ(dialogs.messages.size(), 1) << bad;
        EXPECT_TRUE(dialogs.messages[0].text.contains(QStringLiteral("whole number")));
    }
    form.Text2->setText(QStringLiteral(" 3 "));
    form.cmdOK->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.Level, QStringLiteral("3"));
}

TEST_F(FolderFrmTest, AddedTypesGoFirstInOrderAndAreStored)
{
    FolderFrm form(dialogs);
    open(form, QStringLiteral("/m"));
    form.Option2->click();
    // An empty answer still moves the position on; *.MP3 keeps its case, loses its signs.
    dialogs.inputAnswers = {QString(), QStringLiteral("doc"), QStringLiteral("*.MP3")};
    form.cmdFileAdd->click();
    form.cmdFileAdd->click();
    form.cmdFileAdd->click();
    EXPECT_EQ(dialogs.inputPrompts[0], QStringLiteral("Please type File Extention|File Types"));
    const QStringList shown = extensions(form);
    EXPECT_EQ(shown.mid(0, 4).join(QLatin1Char(' ')), QStringLiteral(".mp3 .doc .MP3 .wma"));
    EXPECT_EQ(shown.size(), 12);

    SettingsStore store;
    const QStringList stored = store.numberedValues(kTypes);
    ASSERT_EQ(stored.size(), 12);
    EXPECT_TRUE(stored[1].startsWith(QStringLiteral(".doc;")));

    tick(form, QStringLiteral(".MP3"));
    form.cmdOK->click();
    EXPECT_EQ(form.FileTypes, QStringLiteral(".MP3"));

    // The next opening reads the stored list, all clear, and counts from the top again.
    FolderFrm again(dialogs);
    EXPECT_EQ(extensions(again), shown);
    for (int row = 0; row < again.FType->topLevelItemCount(); ++row)
        EXPECT_EQ(again.FType->topLevelItem(row)->checkState(0), Qt::Unchecked);
    again.Option2->click();
    dialogs.inputAnswers = {QStringLiteral("txt")};
    again.cmdFileAdd->click();
    EXPECT_EQ(extensions(again).first(), QStringLiteral(".txt"));
}

TEST_F(FolderFrmTest, DeletingADefaultStoresTheOtherNine)
{
    {
        FolderFrm form(dialogs);
        form.Option2->click();
        form.cmdFileDelete->click(); // nothing selected: nothing removed, the list is stored
        EXPECT_EQ(SettingsStore().numberedValues(kTypes).size(), 10);
        form.FType->setCurrentItem(form.FType->topLevelItem(2)); // .jpg
        form.cmdFileDelete->click();
    }
    const QStringList stored = SettingsStore().numberedValues(kTypes);
    ASSERT_EQ(stored.size(), 9);
    EXPECT_TRUE(stored[0].startsWith(QStringLiteral(".mp3;")));
    EXPECT_TRUE(stored[2].startsWith(QStringLiteral(".gif;")));

    // Deleting every type keeps an empty list rather than bringing the defaults back.
    {
        FolderFrm form(dialogs);
        form.Option2->click();
        while (form.FType->topLevelItemCount() > 0) {
            form.FType->setCurrentItem(form.FType->topLevelItem(0));
            form.cmdFileDelete->click();
        }
        EXPECT_FALSE(form.cmdFileDelete->isEnabled());
    }
    FolderFrm empty(dialogs);
    EXPECT_EQ(empty.FType->topLevelItemCount(), 0);
}

// The window's Add button, driven through the real dialog.
TEST_F(FolderFrmTest, AddButtonAddsOrChangesRows)
{
    MainFrm window(&dialogs);
    EXPECT_TRUE(window.cmdAdd->isEnabled());
    EXPECT_FALSE(window.cmdRemove->isEnabled());

    dialogs.paths = {QStringLiteral("/data/Music")};
    WhenShown<FolderFrm>(&window, [](FolderFrm* form) { form->cmdOK->click(); });
    window.cmdAdd->click();
    ASSERT_EQ(window.Locations().size(), 1u);
    EXPECT_EQ(window.Locations()[0],
              (ScanLocation{QStringLiteral("/data/Music"), QStringLiteral("Yes"),
                            QStringLiteral("*.*"), QStringLiteral("1"), ScanLocation::kScanIcon}));
    EXPECT_TRUE(window.cmdRemove->isEnabled());

    // The same path again changes its row; another case is another folder.
    dialogs.paths = {QStringLiteral("/data/Music")};
    WhenShown<FolderFrm>(&window, [](FolderFrm* form) {
        form->Option2->click();
        tick(*form, QStringLiteral(".mp3"));
        form->cmdOK->click();
    });
    window.cmdAdd->click();
    dialogs.paths = {QStringLiteral("/data/music")};
    WhenShown<FolderFrm>(&window, [](FolderFrm* form) { form->cmdOK->click(); });
    window.cmdAdd->click();
    ASSERT_EQ(window.Locations().size(), 2u);
    EXPECT_EQ(window.Locations()[0].filter, QStringLiteral(".mp3"));
    EXPECT_EQ(window.Locations()[1].path, QStringLiteral("/data/music"));

    // Closed by its close box after choosing a folder, the dialog adds nothing.
    dialogs.paths = {QStringLiteral("/data/Other")};
    WhenShown<FolderFrm>(&window, [](FolderFrm* form) { form->close(); });
    window.cmdAdd->click();
    EXPECT_EQ(window.Locations().size(), 2u);

    // While a scan runs the buttons do nothing.
    const qsizetype asked = dialogs.folderPrompts.size();
    window.SetScanningState(false);
    window.cmdAdd->click();
    window.SearchList->setCurrentItem(window.SearchList->topLevelItem(0));
    window.cmdRemove->click();
    window.SetScanningState(true);
    EXPECT_EQ(dialogs.folderPrompts.size(), asked);
    EXPECT_EQ(window.Locations().size(), 2u);

    window.cmdRemove->click();
    window.SearchList->setCurrentItem(window.SearchList->topLevelItem(0));
    window.cmdRemove->click();
    EXPECT_EQ(window.Locations().size(), 0u);
    EXPECT_FALSE(window.cmdRemove->isEnabled());
}

TEST_F(FolderFrmTest, StoredTypesThatWouldSplitAJobLineAreNotOffered)
{
    // Settings from before such types were refused, or edited by hand.
    SettingsStore store;
    store.setNumberedValues(kTypes, {QStringLiteral(".mp3;MP3 audio"), QStringLiteral(".a,b;x"),
                                     QStringLiteral(".c|d;y"), QStringLiteral(".jpg;JPEG")});
    store.sync();
    FolderFrm form(dialogs);
    open(form, QStringLiteral("/m"));
    EXPECT_EQ(extensions(form), (QStringList{QStringLiteral(".mp3"), QStringLiteral(".jpg")}));
    form.Option2->click();
    tick(form, QStringLiteral(".jpg"));
    form.cmdOK->click();
    EXPECT_EQ(form.FileTypes, QStringLiteral(".jpg"));
}
