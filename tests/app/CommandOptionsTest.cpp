#include "app/CommandOptions.h"
#include "app/BatchMode.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>

using namespace quillon;

namespace {

QString SourceFile(const QString& path)
{
    return QStringLiteral(QUILLON_SOURCE_DIR "/") + path;
}

QString Read(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// A file that no longer follows the table is written beside the test program, ready to copy.
void ExpectShipped(const QString& path, const QString& shipped, const QString& expected)
{
    if (shipped == expected)
        return;
    const QString fresh = QCoreApplication::applicationDirPath() + "/generated/" + path;
    QDir().mkpath(QFileInfo(fresh).absolutePath());
    QFile file(fresh);
    if (file.open(QIODevice::WriteOnly))
        file.write(expected.toUtf8());
    ADD_FAILURE() << path.toStdString() << " does not follow the option table; the table's "
                  << "version is " << fresh.toStdString();
}

} // namespace

TEST(CommandOptions, HelpManPageAndCompletionsFollowTheOneTable)
{
    const QString man = Read(SourceFile("packaging/quillon.1"));
    const qsizetype from = man.indexOf("\n.SH OPTIONS\n") + 1;
    const qsizetype to = man.indexOf("\n.SH ", from) + 1;
    ASSERT_GT(from, 0);
    ExpectShipped("packaging/quillon.1", man, man.left(from) + ManPageOptions() + man.mid(to));

    const struct {
        Shell shell;
        const char* path;
        const char* checker;
    } scripts[] = {{Shell::Bash, "packaging/completions/quillon.bash", "bash"},
                   {Shell::Zsh, "packaging/completions/_quillon", "zsh"},
                   {Shell::Fish, "packaging/completions/quillon.fish", "fish"}};
    for (const auto& script : scripts) {
        const QString expected = CompletionScript(script.shell);
        ExpectShipped(script.path, Read(SourceFile(script.path)), expected);
        // Every option is offered, in the shell's own spelling.
        for (const CommandOption& option : CommandOptions()) {
            const QString name = script.shell == Shell::Fish
                                     ? "-l " + QString(option.name).mid(2) + " "
                                     : QString(option.name);
            EXPECT_TRUE(expected.contains(name)) << script.path << " lacks " << option.name;
            EXPECT_TRUE(BatchUsage().contains(option.name));
            EXPECT_TRUE(ManPageOptions().contains(QString(option.name).replace("-", "\\-")));
        }
        // The shell itself reads it without a syntax error, where that shell is installed.
        const QString shell = QStandardPaths::findExecutable(script.checker);
        if (shell.isEmpty())
            continue;
        QProcess check;
        check.start(shell, {"-n", SourceFile(script.path)});
        ASSERT_TRUE(check.waitForFinished());
        EXPECT_EQ(check.exitCode(), 0) << script.path << check.readAllStandardError().constData();
    }
}
