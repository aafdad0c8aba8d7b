// Test entry point: a private settings and data folder, emptied before every test, and the Qt
// application object the code under test expects (widgets only for the app's tests).
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <cstdlib>

#ifdef QUILLON_TEST_WIDGETS
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#endif

namespace {

// Each test starts from the state a first start of the program sees: whatever an earlier test
// left in the settings, the default job or the exclusion list would make tests depend on their
// order (a window restores the last session's job).
class FreshFolders : public ::testing::EmptyTestEventListener {
public:
    explicit FreshFolders(QString root) : m_root(std::move(root)) {}

    void OnTestStart(const ::testing::TestInfo&) override
    {
        for (const char* name : {"config", "data", "home"}) {
            QDir folder(m_root + QLatin1Char('/') + QLatin1String(name));
            folder.removeRecursively();
            folder.mkpath(QStringLiteral("."));
        }
    }

private:
    QString m_root;
};

} // namespace

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

    ::testing::UnitTest::GetInstance()->listeners().Append(new FreshFolders(home.path()));

    TestApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
