// What a new user meets first: the icons, the dialogs' refusals, the font size box, the paste
// routes, the window's place, unreadable folders, New Job's errors, the web page, the sort
// direction and the help command. Each test drives the real widgets.
#include "FakeDialogs.h"
#include "FirstRun.h"
#include "app/ExcludeFrm.h"
#include "app/FolderFrm.h"
#include "app/MainFrm.h"
#include "app/Twips.h"
#include "platform/SettingsStore.h"
#include "scan/FileTypes.h"
#include "support/FixtureTree.h"
#include "support/NoReadOverride.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QToolBar>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <stdexcept>
#include <utility>

using namespace quillon;
using quillon::test::FakeDialogs;
using quillon::test::FixtureTree;

namespace {

class FirstUseTest : public test::FirstRunTest {
protected:
    void SetUp() override
    {
        FirstRunTest::SetUp();
        QFile::remove(MainFrm::StagingPath());
    }
    void TearDown() override { test::ForgetEarlierRuns(); }

    void addLocation(MainFrm& window, const std::string& path)
    {
        window.AddLocation({QString::fromStdString(path), QStringLiteral("Yes"),
                            QStringLiteral("*.*"), QStringLiteral("All Levels"),
                            ScanLocation::kScanIcon});
    }

    QByteArray saveAs(MainFrm& window, const QString& name)
    {
        dialogs.paths = {m_out.filePath(name)};
        window.mnuSaveAs->trigger();
        QFile file(m_out.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    FixtureTree tree;
    FakeDialogs dialogs;

private:
    QTemporaryDir m_out;
};

// Something is drawn: a missing image plugin gives a null or wholly transparent picture.
bool Drawn(const QIcon& icon)
{
    const QImage image = icon.pixmap(QSize(16, 16)).toImage();
    if (image.isNull())
        return false;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(image.pixel(x, y)) > 0)
                return true;
        }
    }
    return false;
}

} // namespace

TEST_F(FirstUseTest, EveryIconOfTheWindowAndTheLocationDialogIsDrawn)
{
    MainFrm window(&dialogs);
    addLocation(window, tree.root());
    window.AddLocation({QStringLiteral("/elsewhere"), QStringLiteral("No"), QStringLiteral("*.*"),
                        QString(), ScanLocation::kExcludedIcon});
    QList<std::pair<QString, QIcon>> icons = {
        {QStringLiteral("window"), window.windowIcon()},
        {QStringLiteral("cmdAdd"), window.cmdAdd->icon()},
        {QStringLiteral("cmdRemove"), window.cmdRemove->icon()},
        {QStringLiteral("cmdExclude"), window.cmdExclude->icon()},
        {QStringLiteral("scan row"), window.SearchList->topLevelItem(0)->icon(0)},
        {QStringLiteral("excluded row"), window.SearchList->topLevelItem(1)->icon(0)},
    };
    for (QToolBar* bar : {window.Toolbar1, window.Toolbar2}) {
        for (QAction* action : bar->actions()) {
            if (!action->isSeparator())
                icons.append(
                    {bar->objectName() + QLatin1Char(' ') + action->text(), action->icon()});
        }
    }
    FolderFrm form(dialogs, &window);
    icons.append({QStringLiteral("Command2"), form.Command2->icon()});
    icons.append({QStringLiteral("cmdFileAdd"), form.cmdFileAdd->icon()});
    icons.append({QStringLiteral("cmdFileDelete"), form.cmdFileDelete->icon()});

    ASSERT_GE(icons.size(), 18);
    for (const auto& [name, icon] : icons)
        EXPECT_TRUE(Drawn(icon)) << name.toStdString() << " is blank (is the SVG plugin there?)";
}

TEST_F(FirstUseTest, FieldSeparatorsAreRefusedInTypesAndExtensions)
{
    // The add-type box of the location dialog.
    FolderFrm form(dialogs, nullptr);
    const FileTypeList before = form.FileTypesShown();
    dialogs.inputAnswers = {QStringLiteral("a,b"), QStringLiteral("*.x|y")};
    form.cmdFileAdd->setEnabled(true);
    form.AddFileType();
    form.AddFileType();
    EXPECT_EQ(form.FileTypesShown(), before);
    ASSERT_EQ(dialogs.messages.size(), 2);
    EXPECT_TRUE(dialogs.messages[0].text.contains(QStringLiteral("\",\"")));
    FileTypeList stored;
    SettingsStore store;
    const bool anyStored = LoadFileTypes(store, stored);
    EXPECT_TRUE(!anyStored || stored == before);

    // The extension box of the exclusion dialog, by paste and by typing.
    QTemporaryDir dir;
    ExcludeFrm exclude(dialogs, dir.filePath(QStringLiteral("exclusion.lst")));
    QGuiApplication::clipboard()->setText(QStringLiteral("a,b|c"));
    exclude.txtExtension->paste();
    EXPECT_EQ(exclude.txtExtension->text(), QString());
    EXPECT_EQ(dialogs.messages.size(), 3);
    QTest::keyClicks(exclude.txtExtension, QStringLiteral("mp,3|"));
    EXPECT_EQ(exclude.txtExtension->text(), QStringLiteral("mp3"));
    EXPECT_EQ(dialogs.messages.size(), 5);
    exclude.cmdExtensionAdd->click();
    EXPECT_EQ(exclude.List().extensions, QStringList{QStringLiteral("*.mp3")});
}

TEST_F(FirstUseTest, DeleteTypeRemovesOnlyASelectedRow)
{
    FolderFrm form(dialogs, nullptr);
    form.Option2->setChecked(true);
    const FileTypeList before = form.FileTypesShown();
    // As tabbing into the list leaves it: the first row current, nothing selected.
    form.FType->selectionModel()->setCurrentIndex(form.FType->model()->index(0, 0),
                                                  QItemSelectionModel::NoUpdate);
    ASSERT_TRUE(form.cmdFileDelete->isEnabled());
    form.cmdFileDelete->click();
    EXPECT_EQ(form.FileTypesShown(), before);

    form.FType->setCurrentItem(form.FType->topLevelItem(1));
    form.cmdFileDelete->click();
    EXPECT_EQ(form.FileTypesShown().size(), before.size() - 1);
    EXPECT_EQ(form.FileTypesShown().value(1), before.value(2));
}

TEST_F(FirstUseTest, AFontSizeThatIsNoNumberKeepsTheLastValidSize)
{
    tree.file("readme.txt", "hello");
    {
        MainFrm window(&dialogs);
        addLocation(window, tree.root());
        window.SelectReportType(ReportType::TreeView);
        window.cmbFontSize->setEditText(QStringLiteral("12"));
        window.cmbFontSize->lineEdit()->selectAll();
        QTest::keyClicks(window.cmbFontSize->lineEdit(), QStringLiteral("abc"));
        window.mnuScan->trigger();

        EXPECT_TRUE(dialogs.errors.isEmpty()) << dialogs.errors.value(0).description.toStdString();
        const qsizetype at = window.rTxt->toPlainText().indexOf(QStringLiteral("readme.txt"));
        ASSERT_GE(at, 0);
        QTextCursor cursor(window.rTxt->document());
        cursor.setPosition(int(at) + 1);
        EXPECT_EQ(cursor.charFormat().fontPointSize(), 12.0);
    }
    QFile job(MainFrm::DefaultJobPath());
    ASSERT_TRUE(job.open(QIODevice::ReadOnly));
    EXPECT_EQ(job.readAll().split('\n').value(4), "12\r");
    MainFrm again(&dialogs);
    EXPECT_EQ(again.cmbFontSize->currentText(), QStringLiteral("12"));
}

TEST_F(FirstUseTest, DroppedRichTextArrivesAsPlainTextInTheInsertionFormat)
{
    MainFrm window(&dialogs);
    window.resize(900, 600);
    window.rTxt->setPlainText(QStringLiteral("report line"));
    QMimeData mime;
    mime.setHtml(
        QStringLiteral("<b><span style=\"color:#ff0000; font-size:30pt\">DROP</span></b>"));
    mime.setText(QStringLiteral("DROP"));
    window.show();
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window.rTxt->viewport(), &enter);
    QDragMoveEvent move(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window.rTxt->viewport(), &move);
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window.rTxt->viewport(), &drop);

    const QString text = window.rTxt->toPlainText();
    const qsizetype at = text.indexOf(QStringLiteral("DROP"));
    ASSERT_GE(at, 0) << text.toStdString();
    QTextCursor cursor(window.rTxt->document());
    cursor.setPosition(int(at) + 1);
    const QTextCharFormat format = cursor.charFormat();
    EXPECT_NE(format.fontWeight(), QFont::Bold);
    EXPECT_NE(format.foreground().color(), QColor(Qt::red));
    EXPECT_NE(format.fontPointSize(), 30.0);
}

TEST_F(FirstUseTest, TheWindowComesBackMaximisedAtItsPlaceAndFitsTheScreen)
{
    {
        MainFrm window(&dialogs);
        window.show();
        window.move(40, 30);
        QCoreApplication::processEvents();
        const QPoint normal = window.pos();
        window.showMaximized();
        QCoreApplication::processEvents();
        ASSERT_TRUE(window.isMaximized());
        window.close();
        SettingsStore store;
        const double dpi = window.screen()->logicalDotsPerInchY();
        EXPECT_EQ(store.value(QStringLiteral("WindowSize"), QStringLiteral("Max")),
                  QStringLiteral("Yes"));
        EXPECT_EQ(store.value(QStringLiteral("WindowSize"), QStringLiteral("L")).toInt(),
                  PixelsToTwips(normal.x(), dpi));
        EXPECT_EQ(store.value(QStringLiteral("WindowSize"), QStringLiteral("T")).toInt(),
                  PixelsToTwips(normal.y(), dpi));
    }
    {
        MainFrm again(&dialogs);
        EXPECT_TRUE(again.windowState() & Qt::WindowMaximized);
    }

    {
        SettingsStore store;
        store.setValue(QStringLiteral("WindowSize"), QStringLiteral("W"), QStringLiteral("90000"));
        store.setValue(QStringLiteral("WindowSize"), QStringLiteral("H"), QStringLiteral("70000"));
        store.setValue(QStringLiteral("WindowSize"), QStringLiteral("L"), QStringLiteral("300"));
        store.setValue(QStringLiteral("WindowSize"), QStringLiteral("Max"), QStringLiteral("No"));
        store.sync();
    }
    MainFrm large(&dialogs);
    const QRect area = large.screen()->availableGeometry();
    EXPECT_FALSE(large.windowState() & Qt::WindowMaximized);
    EXPECT_LE(large.width(), area.width());
    EXPECT_LE(large.height(), area.height());
    EXPECT_TRUE(area.contains(QRect(large.pos(), large.size())));
}

TEST_F(FirstUseTest, FoldersThatCouldNotBeReadAreToldInThePanel)
{
    tree.file("there/a.txt", "1");
    const std::string missing = tree.path("gone");
    MainFrm window(&dialogs);
    addLocation(window, tree.path("there"));
    addLocation(window, missing);
    window.SelectReportType(ReportType::TreeView);
    window.mnuScan->trigger();

    EXPECT_EQ(window.PanelText(1), QStringLiteral("Ready (1 folder could not be read)"));
    const auto* panel = window.findChild<QLabel*>(QStringLiteral("Panel1"));
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->toolTip().contains(QString::fromStdString(missing)))
        << panel->toolTip().toStdString();
    EXPECT_TRUE(window.rTxt->toPlainText().contains(QStringLiteral("a.txt")));

    window.mnuNew->trigger();
    EXPECT_TRUE(panel->toolTip().isEmpty());
}

TEST_F(FirstUseTest, FilesAndDetailsThatCouldNotBeReadAreToldInThePanel)
{
    tree.file("shut/one.txt", "1"); // listed, but its status cannot be read
    tree.chmod("shut", 0644);
    tree.file("open/app.exe", std::string(200, 'x'));
    tree.chmod("open/app.exe", 0);
    {
        SettingsStore store;
        store.setValue(QStringLiteral("Fields"), QStringLiteral("Version"), QStringLiteral("1"));
        store.sync();
    }
    const test::NoReadOverride obeyModes;
    MainFrm window(&dialogs);
    addLocation(window, tree.root());
    window.SelectReportType(ReportType::ListInDetails);
    window.mnuScan->trigger();

    EXPECT_EQ(window.PanelText(1), QStringLiteral("Ready (2 files could not be read)"));
    const auto* panel = window.findChild<QLabel*>(QStringLiteral("Panel1"));
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->toolTip().contains(QStringLiteral("one.txt: ")) &&
                panel->toolTip().contains(QStringLiteral("app.exe: Permission denied (version)")))
        << panel->toolTip().toStdString();
    EXPECT_TRUE(window.rTxt->toPlainText().contains(QStringLiteral("one.txt")));
}

TEST_F(FirstUseTest, NewJobReportsItsErrorsAsNewSessionAndRetries)
{
    bool thrown = false; // outlives the window, whose end also resets the list
    MainFrm window(&dialogs);
    addLocation(window, tree.root());
    QObject::connect(window.SearchList->model(), &QAbstractItemModel::modelReset, &window, [&] {
        if (!std::exchange(thrown, true))
            throw std::runtime_error("disk gone");
    });
    dialogs.errorChoices = {ErrorChoice::Retry};
    window.mnuNew->trigger();

    ASSERT_EQ(dialogs.errors.size(), 1);
    EXPECT_EQ(dialogs.errors[0].procedure, QStringLiteral("New Session"));
    EXPECT_EQ(dialogs.errors[0].line, 1);
    EXPECT_EQ(window.SearchList->topLevelItemCount(), 0);
    EXPECT_EQ(window.PanelText(5), QStringLiteral("00:00:00"));
}

TEST_F(FirstUseTest, TheWebPageReadsAsTheReport)
{
    tree.file("music/------x", "12345");
    tree.file("music/b.txt", "1");
    tree.file("photos/c.jpg", "1");
    MainFrm window(&dialogs);
    addLocation(window, tree.root());
    window.SelectReportType(ReportType::ListInDetails);
    window.mnuScan->trigger();
    const QByteArray details = saveAs(window, QStringLiteral("details.htm"));
    EXPECT_TRUE(details.contains("------x")) << details.toStdString();
    EXPECT_FALSE(details.contains("\\par")) << details.toStdString();

    // The folder list has no empty lines between its folders: neither has its page.
    window.SelectReportType(ReportType::FolderList);
    window.mnuScan->trigger();
    const QByteArray folders = saveAs(window, QStringLiteral("folders.htm"));
    EXPECT_TRUE(folders.contains("photos<br>")) << folders.toStdString();
    EXPECT_FALSE(folders.contains("\r\n<br>\r\n")) << folders.toStdString();
}

TEST_F(FirstUseTest, NamesEqualButForCaseKeepTheirOrderInEitherDirection)
{
    tree.file("A.txt", "12345");
    tree.file("a.txt", "12345");
    MainFrm window(&dialogs);
    addLocation(window, tree.root());
    window.SelectReportType(ReportType::ListInDetails);
    window.cmbSort->setEditText(QStringLiteral("Size"));
    for (QRadioButton* direction : {window.optAsc, window.optDesc}) {
        direction->setChecked(true);
        window.mnuScan->trigger();
        const QString report = window.rTxt->toPlainText();
        const qsizetype upper = report.indexOf(QStringLiteral("A.txt"));
        const qsizetype lower = report.indexOf(QStringLiteral("a.txt"));
        ASSERT_GE(upper, 0);
        ASSERT_GE(lower, 0);
        EXPECT_LT(upper, lower) << direction->text().toStdString();
    }
}

TEST_F(FirstUseTest, HelpThatCannotBeShownNamesThePage)
{
    MainFrm window(&dialogs);
    window.mnuHelpTopics->trigger();
    // No browser in the test (and no page beside the test program): the message says where
    // the page is or belongs.
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].text.contains(QStringLiteral("index.html")))
        << dialogs.messages[0].text.toStdString();
}

TEST_F(FirstUseTest, ASettingsFileTooLargeToReadIsToldAndLeftAsItIs)
{
    const QString path = SettingsStore().fileName();
    QDir().mkpath(QFileInfo(path).path());
    QByteArray text = "[Settings]\nColSize=45\n";
    text += QByteArray(2 * 1024 * 1024, ';'); // a comment line of 2 MB
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }
    {
        MainFrm window(&dialogs);
        ASSERT_FALSE(dialogs.messages.isEmpty());
        EXPECT_TRUE(dialogs.messages[0].text.contains(path))
            << dialogs.messages[0].text.toStdString();
        window.close();
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), text);
}
