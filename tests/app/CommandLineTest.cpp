#include "app/CommandLine.h"
#include "FakeDialogs.h"
#include "app/JobFile.h"
#include "app/MainFrm.h"
#include "scan/ScanLocation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextEdit>
#include <gtest/gtest.h>

using namespace quillon;
using quillon::test::FakeDialogs;

namespace {

QStringList Args(std::initializer_list<const char*> rest)
{
    QStringList list{QStringLiteral("quillon")};
    for (const char* argument : rest)
        list.append(QString::fromUtf8(argument));
    return list;
}

// Sets or clears one environment variable for the life of the object.
class EnvVar {
public:
    EnvVar(const char* name, const char* value) : m_name(name), m_old(qgetenv(name))
    {
        m_had = qEnvironmentVariableIsSet(name);
        value ? qputenv(name, value) : qunsetenv(name);
    }
    ~EnvVar() { m_had ? qputenv(m_name, m_old) : qunsetenv(m_name); }

private:
    const char* m_name;
    QByteArray m_old;
    bool m_had = false;
};

} // namespace

TEST(CommandLine, ModeAndWindowJobFromTheArguments)
{
    EXPECT_EQ(StartModeOf(Args({})), StartMode::Window);
    EXPECT_EQ(StartModeOf(Args({"photos.qjb"})), StartMode::Window);
    EXPECT_EQ(StartModeOf(Args({"--report", "a.qjb", "--version"})), StartMode::Version);
    EXPECT_EQ(StartModeOf(Args({"--help"})), StartMode::Batch);

    QString error;
    EXPECT_EQ(WindowJobOf(Args({}), &error), QString());
    EXPECT_EQ(WindowJobOf(Args({"/jobs/photos.qjb"}), &error), "/jobs/photos.qjb");
    EXPECT_TRUE(error.isEmpty());
    WindowJobOf(Args({"a.qjb", "b.qjb"}), &error);
    EXPECT_TRUE(error.contains("b.qjb")) << error.toStdString();
    error.clear();
    WindowJobOf(Args({"-x"}), &error);
    EXPECT_TRUE(error.contains("-x")) << error.toStdString();
}

TEST(CommandLine, WindowNeedsADisplayOrANamedPlatform)
{
    EnvVar platform("QT_QPA_PLATFORM", nullptr);
    EnvVar x11("DISPLAY", nullptr);
    EnvVar wayland("WAYLAND_DISPLAY", nullptr);
    EXPECT_FALSE(CanOpenWindow(Args({})));
    EXPECT_TRUE(CanOpenWindow(Args({"-platform", "offscreen"})));
    {
        EnvVar set("DISPLAY", ":0");
        EXPECT_TRUE(CanOpenWindow(Args({})));
    }
    {
        EnvVar set("WAYLAND_DISPLAY", "wayland-0");
        EXPECT_TRUE(CanOpenWindow(Args({})));
    }
    EnvVar named("QT_QPA_PLATFORM", "offscreen");
    EXPECT_TRUE(CanOpenWindow(Args({})));
}

TEST(CommandLine, StartJobOpensInTheWindowOrLeavesTheOldOneWithAMessage)
{
    QFile::remove(MainFrm::DefaultJobPath());
    QTemporaryDir dir;
    const QString path = dir.filePath("photos.qjb");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("Option4\r\nName\r\nAsc\r\nCourier New\r\n10\r\n/photos,Yes,*.*,All Levels,3\r\n");
    file.close();

    FakeDialogs dialogs;
    MainFrm window(&dialogs);
    ASSERT_TRUE(OpenStartJob(window, path, dialogs));
    ASSERT_EQ(window.CurrentJob().locations.size(), 1u);
    EXPECT_EQ(window.CurrentJob().locations[0].path, "/photos");
    EXPECT_TRUE(dialogs.messages.isEmpty());

    EXPECT_FALSE(OpenStartJob(window, dir.filePath("missing.qjb"), dialogs));
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages[0].text.contains("missing.qjb"));
    ASSERT_EQ(window.CurrentJob().locations.size(), 1u); // the job it had stays
}

// The program itself, as a user starts it: no display is told in one line, not by Qt's abort.
TEST(CommandLine, ProgramTellsVersionAndMissingDisplay)
{
    auto run = [](const QStringList& arguments, const QString& display = QString()) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            environment.remove(name);
        if (!display.isEmpty())
            environment.insert("DISPLAY", display);
        process.setProcessEnvironment(environment);
        process.start(qEnvironmentVariable("QUILLON_BINARY"), arguments);
        EXPECT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        return std::make_pair(process.exitCode(),
                              process.readAllStandardOutput() + process.readAllStandardError());
    };
    const auto [versionStatus, version] = run({"--version"});
    EXPECT_EQ(versionStatus, 0);
    EXPECT_TRUE(version.startsWith("quillon 1.")) << version.constData();

    const auto [noDisplayStatus, noDisplay] = run({});
    EXPECT_EQ(noDisplayStatus, 2);
    EXPECT_EQ(noDisplay.count('\n'), 1) << noDisplay.constData();
    EXPECT_TRUE(noDisplay.contains("--report")) << noDisplay.constData();

    // A display named but with no X server there: Qt would abort (134) after several lines.
    int free = 99;
    while (QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(free)))
        ++free;
    const QString display = QStringLiteral(":%1").arg(free);
    const auto [unreachableStatus, unreachable] = run({}, display);
    EXPECT_EQ(unreachableStatus, 2);
    EXPECT_EQ(unreachable.count('\n'), 1) << unreachable.constData();
    EXPECT_TRUE(unreachable.contains("DISPLAY=\"" + display.toUtf8() + '"'))
        << unreachable.constData();

    const auto [helpStatus, help] = run({"--help"});
    EXPECT_EQ(helpStatus, 0);
    for (const char* option : {"JOB.qjb", "--report", "--output", "--help", "--version"})
        EXPECT_TRUE(help.contains(option)) << option;
}

// "quillon FOLDER" from a file manager: that folder, scanned, with the window's report type.
TEST(CommandLine, StartFolderBecomesTheOneLocationAndIsScanned)
{
    QFile::remove(MainFrm::DefaultJobPath());
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkpath("Holidays/Rome"));
    FakeDialogs dialogs;
    MainFrm window(&dialogs);
    window.AddLocation({"/elsewhere", "Yes", "*.*", "All Levels", ScanLocation::kScanIcon});
    window.SelectReportType(ReportType::FolderList);
    ScanStartFolder(window, dir.path() + "/Holidays/");
    const Job job = window.CurrentJob();
    ASSERT_EQ(job.locations.size(), 1u);
    EXPECT_EQ(job.locations[0].path, dir.path() + "/Holidays");
    EXPECT_EQ(job.type, ReportType::FolderList);
    EXPECT_TRUE(window.rTxt->toPlainText().contains("Rome"))
        << window.rTxt->toPlainText().toStdString();
    EXPECT_TRUE(dialogs.messages.isEmpty());
}
