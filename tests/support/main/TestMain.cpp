// Test entry point: a private settings and data folder for the whole run, and the Qt
// application object the code under test expects (widgets only for the app's tests).
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cstdlib>

#ifdef QUILLON_TEST_WIDGETS
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#endif

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);

    // Nothing a test does may touch the real home folder.
    QTemporaryDir home;
    if (!home.isValid())
        return 2;
    const QByteArray root = home.path().toLocal8Bit();
    setenv("XDG_CONFIG_HOME", (root + "/config").constData(), 1);
    setenv("XDG_DATA_HOME", (root + "/data").constData(), 1);
    setenv("HOME", (root + "/home").constData(), 1);
    if (!getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Where the tests find the sources (examples, help page) and the program (batch mode).
    setenv("QUILLON_SOURCE_DIR", QUILLON_SOURCE_DIR, 0);
    setenv("QUILLON_BINARY", QUILLON_BINARY, 0);

    TestApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
