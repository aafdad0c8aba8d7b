// Summaries of a scan through the real program: every output format and the options.
#include "FakeDialogs.h"
#include "app/MainFrm.h"
#include "platform/SettingsStore.h"
#include "support/FixtureTree.h"
#include "support/NoReadOverride.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextEdit>
#include <gtest/gtest.h>

using namespace quillon;

namespace {

struct Outcome {
    int status = -1;
    QByteArray out, err;
};

class SummaryCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        SettingsStore store;
        for (const char* section : {"Settings", "Fields", "Summaries"})
            store.removeSection(section);
        store.sync();
        m_tree.file("big.bin", std::string(3000, 'x'));
        m_tree.file("sub/copy of big.bin", std::string(3000, 'x'));
        m_tree.file("sub/same size.bin", std::string(3000, 'y'));
        m_tree.file("note.txt", "a note");
    }

    Outcome run(QStringList arguments, bool obeyModes = false, const QString& program = {})
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("QT_QPA_PLATFORM");
        environment.remove("DISPLAY");
        process.setProcessEnvironment(environment);
        if (obeyModes)
            process.setChildProcessModifier(&test::NoReadOverride::DropForChild);
        process.start(program.isEmpty() ? qEnvironmentVariable("QUILLON_BINARY") : program,
                      arguments);
        EXPECT_TRUE(process.waitForFinished(120000));
        return {process.exitCode(), process.readAllStandardOutput(),
                process.readAllStandardError()};
    }
    QString root() const { return QString::fromStdString(m_tree.root()); }
    QString out(const QString& name) const { return m_out.filePath(name); }
    QByteArray read(const QString& name) const
    {
        QFile file(out(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    test::FixtureTree m_tree;
    QTemporaryDir m_out;
};

} // namespace

TEST_F(SummaryCommands, EveryOutputFormatCarriesTheSummary)
{
    const QByteArray copy = QFile::encodeName(root()) + "/sub/copy of big.bin";
    for (const char* format : {"txt", "rtf", "htm", "pdf"}) {
        const QString name = QStringLiteral("r.") + format;
        const Outcome done = run({"--report", root(), "--summary", "all", "-o", out(name)});
        ASSERT_EQ(done.status, 0) << format << done.err.constData();
        QByteArray text = read(name);
        if (QLatin1String(format) == QLatin1String("pdf")) {
            const QString pdftotext = QStandardPaths::findExecutable("pdftotext");
            if (pdftotext.isEmpty())
                continue; // poppler-utils missing: the other formats still count
            text = run({out(name), "-"}, false, pdftotext).out;
        }
        text.replace("&nbsp;", " ");
        for (const QByteArray& expected :
             {QByteArray("Largest files:"), QByteArray("Totals by type:"),
              QByteArray("2 files of 3,000 bytes, CRC32"), copy})
            EXPECT_TRUE(text.contains(expected)) << format << ": " << expected.constData();
    }

    ASSERT_EQ(run({"--report", root(), "--summary", "duplicates,top", "-o", out("l.json")}).status,
              0);
    const QJsonObject json = QJsonDocument::fromJson(read("l.json")).object();
    const QJsonObject summary = json["summary"].toObject();
    EXPECT_EQ(summary["top"].toArray().size(), 4);
    EXPECT_FALSE(summary.contains("types"));
    const QJsonArray groups = summary["duplicates"].toObject()["groups"].toArray();
    ASSERT_EQ(groups.size(), 1);
    EXPECT_EQ(groups[0].toObject()["wasted"].toInt(), 3000);
    EXPECT_EQ(json["entries"].toArray().size(), 4) << "the listing follows the summary";

    ASSERT_EQ(run({"--report", root(), "--summary", "types", "-o", out("l.csv")}).status, 0);
    EXPECT_EQ(read("l.csv"),
              "summary,rank,path,extension,files,bytes,share,crc32,wasted,pathHex\r\n"
              "types,1,,bin,3,9000,99.9,,,\r\n"
              "types,2,,txt,1,6,0.1,,,\r\n");
}

TEST_F(SummaryCommands, OptionsAloneTopAndWhatCannotBeRead)
{
    // Without the options nothing changes; alone, the report's own lines go.
    const Outcome plain = run({"--report", root()});
    EXPECT_FALSE(plain.out.contains("Largest files:"));
    const Outcome alone =
        run({"--report", root(), "--summary", "top", "--summary-alone", "--top", "1"});
    ASSERT_EQ(alone.status, 0);
    EXPECT_FALSE(alone.out.contains("Directory of"));
    EXPECT_TRUE(alone.out.contains(QFile::encodeName(root()) + "/big.bin"));
    EXPECT_FALSE(alone.out.contains("same size.bin")) << "--top 1 lists one file";
    const Outcome json =
        run({"--report", root(), "--summary", "top", "--summary-alone", "--format", "json"});
    EXPECT_EQ(QJsonDocument::fromJson(json.out).object()["entries"].toArray().size(), 0);

    for (const QStringList& wrong : {QStringList{"--summary", "largest"}, QStringList{"--top", "0"},
                                     QStringList{"--summary"}}) {
        const Outcome refused = run(QStringList{"--report", root()} + wrong);
        EXPECT_EQ(refused.status, 2) << wrong.join(' ').toStdString();
    }

    // A copy that cannot be read is named, left out of the duplicates, and the exit says so.
    m_tree.chmod("sub/copy of big.bin", 0);
    const Outcome locked = run({"--report", root(), "--summary", "duplicates"}, true);
    m_tree.chmod("sub/copy of big.bin", 0644);
    EXPECT_EQ(locked.status, 3);
    EXPECT_TRUE(locked.err.contains("sub/copy of big.bin: Permission denied"))
        << locked.err.constData();
    EXPECT_TRUE(locked.out.contains("0 group(s)")) << locked.out.constData();
    EXPECT_TRUE(locked.out.contains("1 file(s) could not be read"));
}

TEST_F(SummaryCommands, WindowShowsAndExportsTheStoredSummaries)
{
    {
        SettingsStore store;
        store.setValue("Summaries", "Duplicates", "1");
        store.sync();
    }
    test::FakeDialogs dialogs;
    MainFrm window(&dialogs);
    window.AddLocation({root(), QStringLiteral("Yes"), QStringLiteral("*.*"),
                        QStringLiteral("All Levels"), ScanLocation::kScanIcon});
    window.SelectReportType(ReportType::ListInDetails);
    window.mnuScan->trigger();
    EXPECT_TRUE(window.rTxt->toPlainText().contains("Duplicates (equal size and CRC32):"));
    dialogs.paths.push_back(out("window.json"));
    window.mnuExportListing->trigger();
    const QJsonObject json = QJsonDocument::fromJson(read("window.json")).object();
    EXPECT_EQ(json["summary"].toObject()["duplicates"].toObject()["groups"].toArray().size(), 1);
    EXPECT_EQ(json["entries"].toArray().size(), 4);
}
