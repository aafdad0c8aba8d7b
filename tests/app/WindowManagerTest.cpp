// The window's size and place under a real window manager: the offscreen platform draws no
// frame, so what a title bar and borders do to the stored place shows only under X with one.
#include "FakeDialogs.h"
#include "app/MainFrm.h"
#include "app/Twips.h"
#include "platform/SettingsStore.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <gtest/gtest.h>

using namespace quillon;

namespace {

const QString kSection = QStringLiteral("WindowSize");

QPoint StoredCorner()
{
    SettingsStore store;
    return {store.value(kSection, QStringLiteral("L")).toInt(),
            store.value(kSection, QStringLiteral("T")).toInt()};
}

void Store(const QString& key, const QString& value)
{
    SettingsStore store;
    store.setValue(kSection, key, value);
    store.sync();
}

// Shown, framed by the window manager and settled in the state asked for.
bool Settled(MainFrm& window, bool maximised)
{
    const bool settled = QTest::qWaitFor(
        [&] {
            return window.isVisible() && window.frameGeometry() != window.geometry() &&
                   window.isMaximized() == maximised;
        },
        30000);
    if (!settled)
        std::fprintf(stderr, "frame %d,%d %dx%d inside %d,%d %dx%d maximised %d visible %d\n",
                     window.frameGeometry().x(), window.frameGeometry().y(),
                     window.frameGeometry().width(), window.frameGeometry().height(),
                     window.geometry().x(), window.geometry().y(), window.width(), window.height(),
                     window.isMaximized(), window.isVisible());
    return settled;
}

// Runs inside the X server the parent test started: four sessions of the real window.
void RunUnderWindowManager()
{
    QFile::remove(SettingsStore().fileName());
    QFile::remove(MainFrm::DefaultJobPath());
    test::FakeDialogs dialogs;
    QPoint corner;
    // Small enough to stand where it is put on the small screen.
    Store(QStringLiteral("W"), QStringLiteral("9000"));
    Store(QStringLiteral("H"), QStringLiteral("5000"));
    {
        MainFrm window(&dialogs);
        window.move(60, 50);
        window.show();
        ASSERT_TRUE(Settled(window, false));
        // Where it was asked to stand, even though it was placed before the frame was known.
        EXPECT_TRUE(QTest::qWaitFor([&] { return window.pos() == QPoint(60, 50); }, 15000))
            << window.pos().x() << "," << window.pos().y();
        // Maximising and restoring brings the window back where it was, every time.
        for (int cycle = 0; cycle < 3; ++cycle) {
            window.showMaximized();
            ASSERT_TRUE(Settled(window, true));
            window.showNormal();
            ASSERT_TRUE(Settled(window, false));
            EXPECT_TRUE(QTest::qWaitFor([&] { return window.pos() == QPoint(60, 50); }, 15000))
                << cycle << ": " << window.pos().x() << "," << window.pos().y();
        }
        window.close();
        corner = StoredCorner();
        const double dpi = window.screen()->logicalDotsPerInchY();
        EXPECT_EQ(corner, QPoint(PixelsToTwips(60, dpi), PixelsToTwips(50, dpi)));
    }
    // A session that ends maximised, then one that starts and ends so, keep the place.
    for (int session = 0; session < 2; ++session) {
        MainFrm window(&dialogs);
        window.show();
        if (session == 0) {
            ASSERT_TRUE(Settled(window, false));
            EXPECT_TRUE(QTest::qWaitFor([&] { return window.pos() == QPoint(60, 50); }, 15000));
            window.showMaximized();
        }
        ASSERT_TRUE(Settled(window, true)) << session;
        window.close();
        EXPECT_EQ(StoredCorner(), corner) << session;
    }
    // Stored larger than the screen: the whole frame, status bar included, fits on it.
    Store(QStringLiteral("W"), QStringLiteral("90000"));
    Store(QStringLiteral("H"), QStringLiteral("70000"));
    Store(QStringLiteral("Max"), QStringLiteral("No"));
    MainFrm large(&dialogs);
    large.show();
    ASSERT_TRUE(Settled(large, false));
    const QRect area = large.screen()->availableGeometry();
    EXPECT_TRUE(QTest::qWaitFor([&] { return area.contains(large.frameGeometry()); }, 15000))
        << large.frameGeometry().height() << " on " << area.height();
    const QRect bar(large.StatusBar1->mapToGlobal(QPoint(0, 0)), large.StatusBar1->size());
    EXPECT_TRUE(area.contains(bar));
}

} // namespace

TEST(WindowManager, KeepsItsPlaceAndFitsItsFrameOnTheScreen)
{
    if (qEnvironmentVariableIsSet("QUILLON_UNDER_WM")) {
        RunUnderWindowManager();
        return;
    }
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    const QString openbox = QStandardPaths::findExecutable(QStringLiteral("openbox"));
    if (xvfb.isEmpty() || openbox.isEmpty())
        GTEST_SKIP() << "needs Xvfb and openbox (tools/setup.sh installs them)";

    // A small screen, so a stored size larger than it is fitted.
    QProcess server;
    server.setProgram(xvfb);
    server.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"),
                         QStringLiteral("-screen"), QStringLiteral("0"),
                         QStringLiteral("1024x600x24"), QStringLiteral("-nolisten"),
                         QStringLiteral("tcp")});
    server.start();
    ASSERT_TRUE(server.waitForStarted());
    QByteArray display;
    while (!display.contains('\n') && server.waitForReadyRead(10000))
        display += server.readAllStandardOutput();
    ASSERT_TRUE(display.contains('\n')) << "Xvfb gave no display number";
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), QStringLiteral(":") + display.trimmed());

    // A window mapped before the manager has taken the screen may stay unframed: openbox runs
    // its start-up command once it manages windows, and the test waits for that.
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    const QString ready = scratch.filePath(QStringLiteral("ready"));
    QProcess manager;
    manager.setProcessEnvironment(environment);
    manager.setProgram(openbox);
    manager.setArguments({QStringLiteral("--startup"), QStringLiteral("touch ") + ready});
    manager.start();
    ASSERT_TRUE(manager.waitForStarted());
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(ready); }, 60000))
        << "openbox did not start";

    QProcess child;
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("QUILLON_UNDER_WM"), QStringLiteral("1"));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_filter=WindowManager.*")});
    const bool finished = child.waitForFinished(120000);
    const QByteArray output = child.readAll();
    manager.terminate();
    server.terminate();
    manager.waitForFinished();
    server.waitForFinished();
    ASSERT_TRUE(finished) << output.constData();
    EXPECT_EQ(child.exitCode(), 0) << output.constData();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.constData();
}
