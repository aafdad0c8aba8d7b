#include "app/SettingsFrm.h"
#include "FakeDialogs.h"
#include "FirstRun.h"
#include "ModalAnswer.h"
#include "app/MainFrm.h"
#include "platform/SettingsStore.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QPushButton>
#include <QToolBar>
#include <gtest/gtest.h>

using namespace quillon;
using quillon::test::FakeDialogs;
using quillon::test::WhenShown;

namespace {

class SettingsFrmTest : public test::FirstRunTest {
protected:
    static QStringList items(const QComboBox* box)
    {
        QStringList out;
        for (int i = 0; i < box->count(); ++i)
            out.append(box->itemText(i));
        return out;
    }

    FakeDialogs dialogs;
};

} // namespace

TEST_F(SettingsFrmTest, FirstRunShowsTheDefaults)
{
    SettingsFrm form(dialogs);
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Settings"));
    EXPECT_EQ(form.Values(), ReportSettings()); // every control at its default
    EXPECT_EQ(items(form.v_ColSize).join(QLatin1Char(',')),
              QStringLiteral("30,35,40,45,50,55,60,65,70,75,80"));
    EXPECT_EQ(items(form.v_ShowSizeIn).join(QLatin1Char(',')), QStringLiteral("Bytes,KB,MB,GB"));
    EXPECT_EQ(form.v_ListInLower->text(), QStringLiteral("List in lowercase"));
    EXPECT_EQ(form.FrameMp3->title(), QStringLiteral("MP3 (IDE3)"));
}

TEST_F(SettingsFrmTest, CaseSwitchesExcludeEachOtherAndOkWritesEverything)
{
    SettingsFrm form(dialogs);
    form.show();
    form.v_ListInLower->click();
    form.v_ListInUpper->click();
    EXPECT_TRUE(form.v_ListInUpper->isChecked());
    EXPECT_FALSE(form.v_ListInLower->isChecked());
    form.v_ListInUpper->click(); // unticking changes nothing else
    EXPECT_FALSE(form.v_ListInLower->isChecked());
    form.v_ListInUpper->click();
    form.columnBox(DetailColumn::CRC32)->click();
    form.v_ColSize->setCurrentText(QStringLiteral("65"));
    form.Command1->click();
    EXPECT_FALSE(form.isVisible());

    SettingsStore store;
    EXPECT_EQ(store.value(QStringLiteral("Settings"), QStringLiteral("ListInUpper")),
              QStringLiteral("1"));
    EXPECT_EQ(store.value(QStringLiteral("Settings"), QStringLiteral("ListInLower")),
              QStringLiteral("0"));
    EXPECT_EQ(store.value(QStringLiteral("Settings"), QStringLiteral("ColSize")),
              QStringLiteral("65"));
    // Unchanged values are written too.
    EXPECT_EQ(store.value(QStringLiteral("Fields"), QStringLiteral("Comment")),
              QStringLiteral("0"));
    EXPECT_EQ(store.value(QStringLiteral("Settings"), QStringLiteral("FullPath")),
              QStringLiteral("1"));
    const ReportSettings saved = LoadReportSettings(store);
    EXPECT_EQ(saved, form.Values());
    EXPECT_TRUE(saved.Fields[DetailColumn::CRC32]);
}

// Each box shows and gives the stored setting of its own name ("v_" in "Settings", "f_" in
// "Fields", "s_" in "Summaries"): a box wired to another setting, or two boxes to one, shows
// here.
TEST_F(SettingsFrmTest, EachBoxHoldsTheSettingOfItsName)
{
    SettingsFrm form(dialogs);
    const QList<QCheckBox*> boxes = form.findChildren<QCheckBox*>();
    ASSERT_EQ(boxes.size(), 34);
    QHash<const QCheckBox*, bool> defaults;
    for (const QCheckBox* box : boxes)
        defaults.insert(box, box->isChecked());
    for (const QCheckBox* flipped : boxes) {
        const QString name = flipped->objectName();
        {
            SettingsStore store;
            store.setValue(name.startsWith(QLatin1String("v_"))   ? QStringLiteral("Settings")
                           : name.startsWith(QLatin1String("s_")) ? QStringLiteral("Summaries")
                                                                  : QStringLiteral("Fields"),
                           name.mid(2),
                           defaults[flipped] ? QStringLiteral("0") : QStringLiteral("1"));
            ASSERT_TRUE(store.sync());
        }
        form.Load();
        for (const QCheckBox* box : boxes)
            EXPECT_EQ(box->isChecked(), defaults[box] != (box == flipped))
                << qPrintable(name) << " moved " << qPrintable(box->objectName());
        EXPECT_EQ(form.Values(), LoadReportSettings(SettingsStore())) << qPrintable(name);
        QFile::remove(SettingsStore().fileName());
    }
}

TEST_F(SettingsFrmTest, CloseBoxDiscardsEditsAndKeepsUnlistedStoredChoices)
{
    {
        SettingsStore store;
        store.setValue(QStringLiteral("Settings"), QStringLiteral("ColSize"), QStringLiteral("42"));
        store.setValue(QStringLiteral("Fields"), QStringLiteral("Owner"), QStringLiteral("1"));
        store.sync();
    }
    SettingsFrm form(dialogs);
    EXPECT_EQ(form.v_ColSize->currentText(), QStringLiteral("42"));
    form.show();
    form.columnBox(DetailColumn::Owner)->click();
    form.v_FullPath->click();
    form.close();
    EXPECT_FALSE(form.isVisible());
    EXPECT_TRUE(form.columnBox(DetailColumn::Owner)->isChecked());
    SettingsStore store;
    EXPECT_EQ(store.value(QStringLiteral("Fields"), QStringLiteral("Owner")), QStringLiteral("1"));
    EXPECT_TRUE(store.value(QStringLiteral("Settings"), QStringLiteral("FullPath")).isEmpty());
}

// The Settings command and its tool bar button open the dialog; the reports take its values.
TEST_F(SettingsFrmTest, WindowOpensItAndReportsUseItsValues)
{
    MainFrm window(&dialogs);
    EXPECT_TRUE(window.mnuOptions->isEnabled());
    WhenShown<SettingsFrm>(&window, [](SettingsFrm* form) {
        form->v_ShowSizeIn->setCurrentText(QStringLiteral("MB"));
        form->Command1->click();
    });
    window.mnuOptions->trigger();
    EXPECT_EQ(window.Settings().ShowSizeIn, QStringLiteral("MB"));

    QAction* button = window.Toolbar1->actions().last();
    WhenShown<SettingsFrm>(&window, [](SettingsFrm* form) {
        form->columnBox(DetailColumn::Version)->click();
        form->close();
    });
    button->trigger();
    EXPECT_FALSE(window.Settings().Fields[DetailColumn::Version]);
    EXPECT_EQ(window.Settings().ShowSizeIn, QStringLiteral("MB"));

    window.SetScanningState(false);
    EXPECT_FALSE(window.mnuOptions->isEnabled());
    window.ShowSettings(); // does nothing while a scan runs (would hang on exec otherwise)
    window.SetScanningState(true);
}

TEST_F(SettingsFrmTest, WhatIsBigHereHasItsOwnGroupReachedByTab)
{
    SettingsFrm form(dialogs);
    EXPECT_EQ(form.FrameSizes->title(), QStringLiteral("What is big here"));
    const QList<QCheckBox*> group = form.FrameSizes->findChildren<QCheckBox*>();
    ASSERT_EQ(group.size(), 6);
    // Tab from the first box of the tab reaches every box of the group, off at first.
    QSet<QWidget*> reached;
    QWidget* w = form.v_FullPath;
    for (int i = 0; i < 100 && w; ++i, w = w->nextInFocusChain())
        if (w->focusPolicy() & Qt::TabFocus)
            reached.insert(w);
    for (QCheckBox* box : group) {
        EXPECT_TRUE(reached.contains(box)) << qPrintable(box->objectName());
        EXPECT_FALSE(box->isChecked()) << qPrintable(box->objectName());
    }
}
