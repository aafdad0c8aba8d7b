// Listings, comparisons and PDF from the command line, and the window's two listing commands.
#include "FakeDialogs.h"
#include "app/MainFrm.h"
#include "platform/ProgramFolder.h"
#include "platform/SettingsStore.h"
#include "support/FixtureTree.h"
#include "support/NoReadOverride.h"

#include <QAbstractTextDocumentLayout>
#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextLayout>
#include <QThread>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillon;

namespace {

struct Outcome {
    int status = -1;
    QByteArray out, err;
};

class ListingCommands : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_binary = qEnvironmentVariable("QUILLON_BINARY",
                                        QCoreApplication::applicationDirPath() + "/../quillon");
        QFile::remove(ProgramFile("exclusion.lst"));
        SettingsStore store;
        store.removeSection("Settings");
        store.removeSection("Fields");
        store.sync();
        for (test::FixtureTree* tree : {&m_a, &m_b}) {
            for (const char* name : {"keep.txt", "one.txt", "two.txt", "sub/three.txt",
                                     "sub/gone.txt", "sub/old name.txt"})
                tree->file(name, std::string("content of ") + name);
        }
        // The copy: 3 changed, 2 added, 1 removed, 1 renamed.
        m_b.file("one.txt", "changed, and longer");
        m_b.file("two.txt", "changed too");
        m_b.file("sub/three.txt", "changed 3");
        m_b.file("new.txt", "added");
        m_b.file("sub/new too.txt", "added as well");
        std::filesystem::remove(m_b.path("sub/gone.txt"));
        std::filesystem::rename(m_b.path("sub/old name.txt"), m_b.path("renamed.txt"));
        for (test::FixtureTree* tree : {&m_a, &m_b})
            for (const char* name : {"keep.txt", "sub/old name.txt", "renamed.txt"})
                if (std::filesystem::exists(tree->path(name)))
                    tree->setModified(name, "2022-02-02 02:02:02");
    }

    QString job(const test::FixtureTree& tree, const QString& type = "Option2")
    {
        const QString path = m_out.filePath("job.qjb");
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write((type + "\r\nName\r\nAsc\r\nCourier New\r\n10\r\n" +
                    QString::fromStdString(tree.root()) + ",Yes,*.*,All Levels,3\r\n")
                       .toUtf8());
        return path;
    }
    QString out(const QString& name) const { return m_out.filePath(name); }
    QString a() const { return QString::fromStdString(m_a.root()); }
    QString b() const { return QString::fromStdString(m_b.root()); }

    Outcome run(const QStringList& arguments, const QString& program = {})
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("QT_QPA_PLATFORM"); // no display needed, PDF included
        environment.remove("DISPLAY");
        process.setProcessEnvironment(environment);
        if (m_obeyModes)
            process.setChildProcessModifier(&test::NoReadOverride::DropForChild);
        process.start(program.isEmpty() ? m_binary : program, arguments);
        EXPECT_TRUE(process.waitForFinished(120000));
        return {process.exitCode(), process.readAllStandardOutput(),
                process.readAllStandardError()};
    }

    // Runs quillon until one of its open files (a /proc link text) passes reached in two looks
    // 10 ms apart, so it is at work on that file, then sends Ctrl+C and waits for the end.
    Outcome interruptWhen(const QStringList& arguments,
                          const std::function<bool(const QByteArray&)>& reached)
    {
        QProcess process;
        process.start(m_binary, arguments);
        EXPECT_TRUE(process.waitForStarted());
        const auto holds = [&] {
            for (int fd = 0; fd < 64; ++fd) {
                char link[4096];
                const QByteArray name = "/proc/" + QByteArray::number(process.processId()) +
                                        "/fd/" + QByteArray::number(fd);
                const ssize_t size = ::readlink(name.constData(), link, sizeof link);
                if (size > 0 && reached(QByteArray(link, int(size))))
                    return true;
            }
            return false;
        };
        int looks = 0;
        while (looks < 2 && process.state() == QProcess::Running) {
            looks = holds() ? looks + 1 : 0;
            QThread::msleep(10);
        }
        EXPECT_EQ(looks, 2) << "quillon ended before it reached the file";
        ::kill(pid_t(process.processId()), SIGINT);
        EXPECT_TRUE(process.waitForFinished(60000)) << "Ctrl+C did not stop quillon";
        return {process.exitCode(), process.readAllStandardOutput(),
                process.readAllStandardError()};
    }

    static QByteArray read(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QString m_binary;
    bool m_obeyModes = false;
    test::FixtureTree m_a, m_b;
    QTemporaryDir m_out;
};

} // namespace

TEST_F(ListingCommands, BatchModeWritesListingsByTheOutputName)
{
    const Outcome json = run({"--report", job(m_a), "-o", out("a.json")});
    ASSERT_EQ(json.status, 0) << json.err.constData();
    EXPECT_TRUE(json.err.isEmpty()) << json.err.constData(); // no report, so none is published
    const QJsonObject document = QJsonDocument::fromJson(read(out("a.json"))).object();
    EXPECT_EQ(document["format"].toString(), "quillon-listing");
    const QJsonArray entries = document["entries"].toArray();
    ASSERT_EQ(entries.size(), 8); // the location, "sub" and 6 files
    EXPECT_EQ(entries[0]["kind"].toString(), "folder");
    EXPECT_EQ(entries[1]["path"].toString(), a() + "/keep.txt");
    EXPECT_EQ(entries[1]["size"].toInt(), QFileInfo(a() + "/keep.txt").size());

    ASSERT_EQ(run({"--report", job(m_a, "Option1"), "-o", out("a.CSV")}).status, 0);
    const QList<QByteArray> rows = read(out("a.CSV")).split('\n');
    EXPECT_TRUE(rows[0].startsWith("path,folder,name,kind,size,modified,")) << rows[0].constData();
    EXPECT_EQ(rows.size(), 1 + 6 + 1); // List In Details: files only; the last line ends
}

TEST_F(ListingCommands, ReportOfSavedListingsIsTheScansAndABrokenOneWritesNothing)
{
    ASSERT_EQ(run({"--report", job(m_a), "-o", out("a.json")}).status, 0);
    ASSERT_EQ(run({"--report", job(m_b), "-o", out("b.json")}).status, 0);
    const Outcome scan = run({"--report", job(m_a), "-o", out("scan.txt")});
    const Outcome fromListing = run({"--report", out("a.json"), "-o", out("listing.txt")});
    ASSERT_EQ(fromListing.status, 0) << fromListing.err.constData();
    EXPECT_TRUE(fromListing.err.isEmpty()) << fromListing.err.constData();
    EXPECT_EQ(read(out("listing.txt")), read(out("scan.txt")));
    EXPECT_TRUE(read(out("listing.txt")).contains("old name.txt"));

    // Two listings make one report and merge into one listing that gives the same report.
    const Outcome both = run({"--report", out("a.json"), out("b.json"), "--type", "sizes"});
    ASSERT_EQ(both.status, 0) << both.err.constData();
    EXPECT_TRUE(both.out.contains(a().toUtf8()) && both.out.contains(b().toUtf8()));
    ASSERT_EQ(run({"--report", out("a.json"), out("b.json"), "-o", out("all.json")}).status, 0);
    EXPECT_EQ(run({"--report", out("all.json"), "--type", "sizes"}).out, both.out);

    // A cut, a foreign and a missing listing: named, exit 1, an old output left as it was.
    QFile cut(out("cut.json"));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(read(out("a.json")).left(600));
    cut.close();
    QFile foreign(out("other.json"));
    ASSERT_TRUE(foreign.open(QIODevice::WriteOnly));
    foreign.write("{\"format\": \"something else\", \"entries\": []}");
    foreign.close();
    for (const QString& bad : {out("cut.json"), out("other.json"), out("missing.json")}) {
        SCOPED_TRACE(bad.toStdString());
        for (const QString& output : {out("listing.txt"), out("all.json")}) {
            const QByteArray before = read(output);
            const Outcome broken = run({"--report", out("a.json"), bad, "-o", output});
            EXPECT_EQ(broken.status, 1);
            EXPECT_TRUE(broken.err.contains(QFileInfo(bad).fileName().toUtf8()))
                << broken.err.constData();
            EXPECT_EQ(read(output), before);
        }
    }
    EXPECT_TRUE(run({"--report", out("cut.json")}).err.contains("at byte"));
    // A listing is not scanned again: scan options are wrong usage.
    const Outcome depth = run({"--report", out("a.json"), "--depth", "1"});
    EXPECT_EQ(depth.status, 2);
    EXPECT_TRUE(depth.err.contains("--depth does not go with a listing")) << depth.err.constData();
}

TEST_F(ListingCommands, CompareTellsEachDifferenceAndExitsAsDiffDoes)
{
    const Outcome differ = run({"--compare", a(), b(), "--crc"});
    EXPECT_EQ(differ.status, 1) << differ.err.constData();
    const QString text = QString::fromUtf8(differ.out);
    for (const char* expected :
         {"Added (2)\n   new.txt\n   sub/new too.txt\n", "Removed (1)\n   sub/gone.txt\n",
          "Changed (3)\n   one.txt: size 18 \u2192 19",
          "Moved or renamed (1)\n   sub/old name.txt "
          "\u2192 renamed.txt\n",
          "2 added, 1 removed, 3 changed, 1 moved or renamed; 7 entries "
          "against 8.\n"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected << "\n"
                                                                << text.toStdString();

    const Outcome same = run({"--compare", a(), a()});
    EXPECT_EQ(same.status, 0) << same.out.constData();
    EXPECT_TRUE(same.out.contains("No differences")) << same.out.constData();
    EXPECT_EQ(run({"--compare", a(), out("missing")}).status, 2);
    EXPECT_EQ(run({"--compare", a(), b(), "-o", out("diff.doc")}).status, 2);

    // Last month's listing against the folder now, written as CSV.
    ASSERT_EQ(run({"--report", job(m_a), "-o", out("old.json")}).status, 0);
    const Outcome listing = run({"--compare", out("old.json"), b(), "-o", out("diff.csv")});
    EXPECT_EQ(listing.status, 1) << listing.err.constData();
    const QByteArray csv = read(out("diff.csv"));
    EXPECT_TRUE(csv.startsWith("change,path,old_path,kind,")) << csv.constData();
    EXPECT_TRUE(csv.contains("\r\nadded,sub/new too.txt,,file,,13,")) << csv.constData();
    EXPECT_EQ(csv.count("\r\nchanged,"), 3) << csv.constData();
    // The default listing has no checksums: the rename is one file removed and one added.
    EXPECT_EQ(csv.count("\r\nmoved,"), 0);
}

TEST_F(ListingCommands, PdfReportReadsBackAsThePlainTextReport)
{
    const QString pdftotext = QStandardPaths::findExecutable("pdftotext");
    if (pdftotext.isEmpty())
        GTEST_SKIP() << "pdftotext (poppler-utils) is not installed";
    ASSERT_EQ(run({"--report", job(m_a), "-o", out("r.txt")}).status, 0);
    const Outcome pdf = run({"--report", job(m_a), "-o", out("r.pdf")});
    ASSERT_EQ(pdf.status, 0) << pdf.err.constData();
    EXPECT_TRUE(read(out("r.pdf")).startsWith("%PDF"));
    const Outcome text = run({"-layout", out("r.pdf"), "-"}, pdftotext);
    ASSERT_EQ(text.status, 0);
    QStringList printed = QString::fromUtf8(text.out).remove('\f').split('\n');
    QStringList expected = QString::fromUtf8(read(out("r.txt"))).split('\n');
    // pdftotext gives each run of blanks as one and drops blank lines at either end.
    for (QStringList* lines : {&printed, &expected}) {
        for (QString& line : *lines)
            line = line.simplified();
        while (!lines->isEmpty() && lines->back().isEmpty())
            lines->removeLast();
        while (!lines->isEmpty() && lines->front().isEmpty())
            lines->removeFirst();
    }
    EXPECT_GT(expected.size(), 8);
    EXPECT_EQ(printed, expected);
}

TEST_F(ListingCommands, CtrlCWhileAListingOrPdfIsWrittenKeepsTheOldFile)
{
    // The checksum of a 5 TiB file (a hole, read at memory speed) would take minutes.
    test::FixtureTree huge;
    huge.file("huge.bin");
    if (::truncate(huge.path("huge.bin").c_str(), off_t(5) << 40) != 0)
        GTEST_SKIP() << "this file system cannot hold a 5 TiB sparse file";
    {
        SettingsStore store;
        store.setValue("Fields", "CRC32", "1");
        ASSERT_TRUE(store.sync());
    }
    const QByteArray old = "the listing of yesterday";
    for (const QString& name : {QStringLiteral("old.csv"), QStringLiteral("old.pdf")}) {
        QFile file(out(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(old);
    }
    const Outcome csv =
        interruptWhen({"--report", job(huge, "Option1"), "-o", out("old.csv")},
                      [](const QByteArray& link) { return link.endsWith("/huge.bin"); });
    EXPECT_EQ(csv.status, 130) << csv.err.constData();
    EXPECT_EQ(read(out("old.csv")), old);

    // 3,000 lines of 100 pt make 1,500 pages: Ctrl+C comes while they are printed, which is
    // when the output folder holds the PDF's unnamed temporary file.
    test::FixtureTree many;
    for (int i = 0; i < 3000; ++i)
        many.file("f" + std::to_string(i));
    const QString jobPath = out("big.qjb");
    {
        QFile file(jobPath);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("Option2\r\nName\r\nAsc\r\nCourier New\r\n100\r\n" +
                   QByteArray::fromStdString(many.root()) + ",Yes,*.*,All Levels,3\r\n");
    }
    const QByteArray folder = QFile::encodeName(m_out.path()) + "/#";
    const Outcome pdf =
        interruptWhen({"--report", jobPath, "-o", out("old.pdf")}, [&](const QByteArray& link) {
            return link.startsWith(folder) && link.endsWith("(deleted)");
        });
    EXPECT_EQ(pdf.status, 130) << pdf.err.constData();
    EXPECT_EQ(read(out("old.pdf")), old);
    EXPECT_EQ(QDir(m_out.path()).entryList(QDir::Files).filter("old.").size(), 2);
    SettingsStore store;
    store.removeSection("Fields");
    store.sync();
}

TEST_F(ListingCommands, CtrlCWhileComparingKeepsTheOldFileAndExits130)
{
    test::FixtureTree huge;
    huge.file("huge.bin");
    if (::truncate(huge.path("huge.bin").c_str(), off_t(5) << 40) != 0)
        GTEST_SKIP() << "this file system cannot hold a 5 TiB sparse file";
    const QByteArray old = "the comparison of yesterday";
    {
        QFile file(out("old.json"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(old);
    }
    const QStringList before = QDir(m_out.path()).entryList(QDir::Files | QDir::Hidden);
    // The first side is read whole before the second is scanned; the second is read as the
    // comparison runs: Ctrl+C comes in the checksum of a huge file in each.
    const QString side = QString::fromStdString(huge.root());
    for (const QStringList& sides : {QStringList{side, b()}, QStringList{a(), side}}) {
        const Outcome compared =
            interruptWhen({"--compare", sides[0], sides[1], "--crc", "-o", out("old.json")},
                          [](const QByteArray& link) { return link.endsWith("/huge.bin"); });
        EXPECT_EQ(compared.status, 130) << compared.err.constData();
        EXPECT_EQ(compared.err, "quillon: interrupted: " + out("old.json").toLocal8Bit() +
                                    " was left as it was\n");
        EXPECT_EQ(read(out("old.json")), old);
        EXPECT_EQ(QDir(m_out.path()).entryList(QDir::Files | QDir::Hidden), before);
    }
}

// One Ctrl+C ends a write to standard output that a stopped reader holds.
TEST_F(ListingCommands, CtrlCStopsAWriteThatAStoppedReaderHolds)
{
    test::FixtureTree many;
    for (int i = 0; i < 3000; ++i)
        many.file("file number " + std::to_string(100000 + i) + ".txt");
    const QByteArray fifo = QFile::encodeName(out("reader"));
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    const int reader = ::open(fifo.constData(), O_RDWR | O_NONBLOCK); // open, never read
    ASSERT_GE(reader, 0);
    const int capacity = ::fcntl(reader, F_GETPIPE_SZ);
    for (const QStringList& arguments :
         {QStringList{"--report", job(many, "Option1")},
          QStringList{"--compare", a(), QString::fromStdString(many.root())}}) {
        QProcess process;
        process.setStandardOutputFile(QFile::decodeName(fifo));
        process.start(m_binary, arguments);
        int held = 0;
        while (held < capacity && !process.waitForFinished(10))
            ::ioctl(reader, FIONREAD, &held);
        ASSERT_EQ(held, capacity) << arguments.join(' ').toStdString();
        QThread::msleep(100); // into the write that waits for the reader
        ::kill(pid_t(process.processId()), SIGINT);
        const bool ended = process.waitForFinished(30000);
        EXPECT_TRUE(ended) << "Ctrl+C did not stop " << arguments.join(' ').toStdString();
        if (!ended) {
            process.kill();
            process.waitForFinished();
        }
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 130);
        EXPECT_EQ(process.readAllStandardError(), "quillon: interrupted\n");
        char drain[4096];
        while (::read(reader, drain, sizeof drain) > 0) {
        }
    }
    ::close(reader);
}

// A comparison walks folders as the reports do and sizes files as listings hold them.
TEST_F(ListingCommands, ComparisonsSeeHiddenFilesWhenReportsDoAndFilesOwnSizes)
{
    test::FixtureTree x, y;
    x.file("seen.txt", "same");
    y.file("seen.txt", "same");
    x.file(".secret", "one");
    y.file(".secret", "three");
    const auto compare = [&](const char* includeHidden) {
        {
            SettingsStore store;
            store.setValue("Settings", "IncludeHidden", includeHidden);
            EXPECT_TRUE(store.sync());
        }
        return run(
            {"--compare", QString::fromStdString(x.root()), QString::fromStdString(y.root())});
    };
    EXPECT_EQ(compare("0").status, 0);
    const Outcome hidden = compare("1");
    EXPECT_EQ(hidden.status, 1) << hidden.out.constData();
    EXPECT_TRUE(hidden.out.contains("   .secret: size 3 \xE2\x86\x92 5")) << hidden.out.constData();

    // The window's last scan with sizes on disk against its own export: nothing changed.
    {
        SettingsStore store;
        store.setValue("Settings", "SizeOnDisk", "1");
        ASSERT_TRUE(store.sync());
    }
    test::FakeDialogs dialogs;
    MainFrm window(&dialogs);
    window.AddLocation({a(), QStringLiteral("Yes"), QStringLiteral("*.*"),
                        QStringLiteral("All Levels"), ScanLocation::kScanIcon});
    window.SelectReportType(ReportType::TreeView);
    window.mnuScan->trigger();
    dialogs.paths.push_back(out("disk.json"));
    window.mnuExportListing->trigger();
    dialogs.paths.push_back(out("disk.json"));
    window.mnuCompare->trigger();
    const QString report = window.rTxt->toPlainText();
    EXPECT_TRUE(report.contains("\nNo differences; ")) << report.toStdString();
}

TEST_F(ListingCommands, WindowExportsTheLastScanAndComparesItWithAListing)
{
    test::FakeDialogs dialogs;
    MainFrm window(&dialogs);
    window.mnuExportListing->trigger(); // before a scan: told, nothing asked
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.fileDialogTitles.isEmpty());

    window.AddLocation({a(), QStringLiteral("Yes"), QStringLiteral("*.*"),
                        QStringLiteral("All Levels"), ScanLocation::kScanIcon});
    window.SelectReportType(ReportType::TreeView);
    window.mnuScan->trigger();
    dialogs.paths.push_back(out("window.json"));
    window.mnuExportListing->trigger();
    const QJsonObject listing = QJsonDocument::fromJson(read(out("window.json"))).object();
    EXPECT_EQ(listing["entries"].toArray().size(), 8) << read(out("window.json")).constData();

    // The listing describes the scan it lists, not the window as it stands at export time.
    window.NewJob();
    window.SelectReportType(ReportType::FolderList);
    dialogs.paths.push_back(out("later.json"));
    window.mnuExportListing->trigger();
    const QJsonObject later = QJsonDocument::fromJson(read(out("later.json"))).object();
    EXPECT_EQ(later["job"].toObject()["locations"].toArray().size(), 1);
    EXPECT_EQ(later["job"].toObject()["reportType"].toString(), QStringLiteral("Tree view"));
    EXPECT_EQ(later["scanned"], listing["scanned"]);
    EXPECT_EQ(later["entries"].toArray().size(), 8);
    window.AddLocation({a(), QStringLiteral("Yes"), QStringLiteral("*.*"),
                        QStringLiteral("All Levels"), ScanLocation::kScanIcon});
    window.SelectReportType(ReportType::TreeView); // the window as it was for the scans below

    const Outcome other = run({"--report", job(m_b), "-o", out("b.json")});
    ASSERT_EQ(other.status, 0);
    // A FIFO chosen in the dialog is refused at once, not waited on.
    ASSERT_EQ(::mkfifo(QFile::encodeName(out("pipe.json")).constData(), 0600), 0);
    dialogs.paths.push_back(out("pipe.json"));
    window.mnuCompare->trigger();
    EXPECT_TRUE(dialogs.messages.back().text.contains("is a FIFO"));
    dialogs.paths.push_back(out("b.json"));
    window.mnuCompare->trigger();
    const QString report = window.rTxt->toPlainText();
    // The listing is the older side; without checksums the rename is a removal and an addition.
    EXPECT_TRUE(report.contains("Added (2)")) << report.toStdString();
    EXPECT_TRUE(report.contains("2 added, 3 removed, 3 changed, 0 moved or renamed; 8 entries "
                                "against 7."))
        << report.toStdString();

    // A folder the scan could not read makes the comparison incomplete in the window too.
    m_a.chmod("sub", 0);
    {
        const test::NoReadOverride obeyModes;
        window.mnuScan->trigger();
    }
    m_a.chmod("sub", 0755);
    dialogs.paths.push_back(out("b.json"));
    window.mnuCompare->trigger();
    const QString incomplete = window.rTxt->toPlainText();
    EXPECT_TRUE(incomplete.contains("Could not be read (1)")) << incomplete.toStdString();
    EXPECT_TRUE(incomplete.contains("\nIncomplete: 1 could not be read;"));

    // So do files whose status the scan could not read, each named with its reason.
    m_a.chmod("sub", 0644);
    {
        const test::NoReadOverride obeyModes;
        window.mnuScan->trigger();
    }
    m_a.chmod("sub", 0755);
    dialogs.paths.push_back(out("b.json"));
    window.mnuCompare->trigger();
    const QString files = window.rTxt->toPlainText();
    EXPECT_EQ(files.count(": Permission denied (status)\n"), 3) << files.toStdString();

    // Busy as a scan while they run: the scan they read cannot be replaced under them, and
    // Cancel (F6) stops each, keeping the pane and any file it would have replaced. Enough
    // files that the comparison lets the events run.
    for (int i = 0; i < 1100; ++i)
        m_a.file("many/" + std::to_string(i));
    window.mnuScan->trigger();
    const QString before = window.rTxt->toPlainText();
    const QByteArray exported = read(out("window.json"));
    dialogs.messageAnswers = {MessageResult::Yes, MessageResult::Yes};
    int scansOffered = 0;
    window.SetYieldHook([&] {
        scansOffered += window.mnuScan->isEnabled();
        if (window.mnuCancel->isEnabled())
            window.mnuCancel->trigger();
    });
    dialogs.paths.push_back(out("b.json"));
    window.mnuCompare->trigger();
    EXPECT_EQ(window.PanelText(1), QStringLiteral("Compare With Listing cancelled."));
    dialogs.paths.push_back(out("window.json"));
    window.mnuExportListing->trigger();
    EXPECT_EQ(window.PanelText(1), QStringLiteral("Export Listing cancelled."));
    EXPECT_EQ(scansOffered, 0);
    EXPECT_EQ(window.rTxt->toPlainText(), before);
    EXPECT_EQ(read(out("window.json")), exported);
    EXPECT_TRUE(window.mnuScan->isEnabled());
}

TEST_F(ListingCommands, WindowOpensAListingAsTheReportOfItsScan)
{
    test::FakeDialogs dialogs;
    MainFrm window(&dialogs);
    window.NewJob(); // not the locations an earlier test's window left in the default job
    window.AddLocation({a(), QStringLiteral("Yes"), QStringLiteral("*.*"),
                        QStringLiteral("All Levels"), ScanLocation::kScanIcon});
    window.SelectReportType(ReportType::TreeView);
    window.mnuScan->trigger();
    const QString scanned = window.rTxt->toPlainText();
    dialogs.paths.push_back(out("window.json"));
    window.mnuExportListing->trigger();
    window.SelectReportType(ReportType::ListInDetails);
    window.mnuScan->trigger();
    const QString details = window.rTxt->toPlainText();

    // Laid out as the window's report type: the listing of a tree gives either report.
    window.NewJob();
    window.SelectReportType(ReportType::TreeView);
    dialogs.paths.push_back(out("window.json"));
    window.mnuOpenListing->trigger();
    EXPECT_EQ(window.rTxt->toPlainText().toStdString(), scanned.toStdString());
    window.SelectReportType(ReportType::ListInDetails);
    dialogs.paths.push_back(out("window.json"));
    window.mnuOpenListing->trigger();
    EXPECT_EQ(window.rTxt->toPlainText(), details);
    EXPECT_TRUE(dialogs.messages.isEmpty());

    // A listing that cannot be read is named, and the pane keeps its report.
    QFile cut(out("cut.json"));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(read(out("window.json")).left(500));
    cut.close();
    dialogs.paths.push_back(out("cut.json"));
    window.mnuOpenListing->trigger();
    ASSERT_EQ(dialogs.messages.size(), 1);
    EXPECT_TRUE(dialogs.messages.back().text.contains("cut.json"))
        << dialogs.messages.back().text.toStdString();
    EXPECT_EQ(window.rTxt->toPlainText(), details);

    // Cancel (F6) stops it, asked as a scan's Cancel is; the pane keeps its report.
    dialogs.messageAnswers = {MessageResult::Yes};
    bool asked = false;
    window.SetYieldHook([&] {
        if (!asked && window.mnuCancel->isEnabled()) {
            asked = true;
            window.mnuCancel->trigger();
        }
    });
    window.SelectReportType(ReportType::TreeView);
    dialogs.paths.push_back(out("window.json"));
    window.mnuOpenListing->trigger();
    EXPECT_TRUE(asked);
    EXPECT_EQ(window.rTxt->toPlainText(), details);
    EXPECT_EQ(window.PanelText(1), QStringLiteral("Open Listing cancelled."));
    EXPECT_TRUE(window.mnuScan->isEnabled());
}

TEST_F(ListingCommands, KeepEveryCharacterOfNamesReachesEachOutputFormat)
{
    for (const char* name : {"\xE6\x97\xA5\xE6\x9C\xAC \xC3\xBC.txt", "ascii-name.txt"}) {
        m_a.file(std::string("wide/") + name, "x");
        m_a.setModified(std::string("wide/") + name, "2022-02-02 02:02:02");
    }
    const QString wide = "\u65e5\u672c \u00fc.txt";
    {
        SettingsStore store;
        store.setValue("Settings", "KeepAllCharacters", "1");
        ASSERT_TRUE(store.sync());
    }
    ASSERT_EQ(run({"--report", job(m_a, "Option1"), "-o", out("r.txt")}).status, 0);
    const QStringList lines = QString::fromUtf8(read(out("r.txt"))).split('\n');
    const auto lineOf = [&](const QString& name) {
        for (const QString& line : lines)
            if (line.startsWith(name))
                return line;
        return QString();
    };
    ASSERT_FALSE(lineOf(wide).isEmpty()) << lines.join('\n').toStdString();
    // The name column counts characters: both lines are as long.
    EXPECT_EQ(lineOf(wide).size(), lineOf("ascii-name.txt").size());

    ASSERT_EQ(run({"--report", job(m_a, "Option2"), "-o", out("r.rtf")}).status, 0);
    EXPECT_TRUE(read(out("r.rtf")).contains("\\u26085?")) << read(out("r.rtf")).constData();
    ASSERT_EQ(run({"--report", job(m_a, "Option2"), "-o", out("r.htm")}).status, 0);
    const QByteArray page = read(out("r.htm"));
    EXPECT_TRUE(page.startsWith("<html><head><meta charset=\"utf-8\">"));
    EXPECT_TRUE(page.contains(QString("\u65e5\u672c&nbsp;\u00fc.txt").toUtf8()))
        << page.constData();

    {
        SettingsStore store;
        store.setValue("Settings", "KeepAllCharacters", "0");
        ASSERT_TRUE(store.sync());
    }
    ASSERT_EQ(run({"--report", job(m_a, "Option1"), "-o", out("off.txt")}).status, 0);
    EXPECT_TRUE(read(out("off.txt")).contains("    .txt")); // four characters, four blanks
    EXPECT_FALSE(QString::fromUtf8(read(out("off.txt"))).contains(wide));
}

TEST_F(ListingCommands, RightToLeftNamesKeepTheLineInColumnOrder)
{
    // A Hebrew name, an Arabic one, and one that would reverse its line's end ("txt.exe").
    const std::string hebrew = "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D";
    const std::string arabic = "\xD9\x85\xD9\x84\xD9\x81";
    for (const std::string& name :
         {hebrew + ".txt", hebrew, arabic, std::string("a\xE2\x80\xAEtxt.exe")})
        m_a.file("rtl/" + name, std::string(12345, 'x'));
    {
        SettingsStore store;
        store.setValue("Settings", "KeepAllCharacters", "1");
        ASSERT_TRUE(store.sync());
    }
    test::FakeDialogs dialogs;
    MainFrm window(&dialogs);
    window.AddLocation({QString::fromStdString(m_a.path("rtl")), QStringLiteral("No"),
                        QStringLiteral("*.*"), QStringLiteral("All Levels"),
                        ScanLocation::kScanIcon});
    window.SelectReportType(ReportType::ListInDetails);
    window.mnuScan->trigger();
    window.show();
    const QString text = window.rTxt->toPlainText();
    EXPECT_FALSE(text.contains(QChar(0x202E)));
    EXPECT_TRUE(text.contains(QStringLiteral("a\uFFFDtxt.exe"))) << text.toStdString();

    int checked = 0;
    for (QTextBlock block = window.rTxt->document()->begin(); block.isValid();
         block = block.next()) {
        const QString line = block.text();
        const qsizetype size = line.indexOf(QRegularExpression(QStringLiteral("[0-9]")));
        if (size < 0 || !line.contains(QRegularExpression(QStringLiteral("[\\x{5d0}-\\x{6ff}]"))))
            continue;
        ++checked;
        EXPECT_EQ(block.textDirection(), Qt::LeftToRight);
        // Every character of the name stands left of the size column.
        window.rTxt->document()->documentLayout()->blockBoundingRect(block); // laid out now
        const QTextLayout* layout = block.layout();
        ASSERT_TRUE(layout && layout->lineCount() > 0);
        qreal nameRight = 0;
        for (int i = 0; i < int(size); ++i)
            nameRight = std::max(nameRight, layout->lineAt(0).cursorToX(i));
        EXPECT_LT(nameRight, layout->lineAt(0).cursorToX(int(size))) << line.toStdString();
    }
    EXPECT_EQ(checked, 3);
}

TEST_F(ListingCommands, CompareThatCannotSeeEverythingSaysSoAndExitsTwo)
{
    m_obeyModes = true; // as root too, a mode-000 folder is unreadable
    m_a.file("locked/inside.txt", "x");
    m_a.chmod("locked", 0);
    const Outcome inside = run({"--compare", a(), a()});
    EXPECT_EQ(inside.status, 2) << inside.out.constData();
    EXPECT_TRUE(inside.err.contains("cannot read the folder " + QFile::encodeName(a()) +
                                    "/locked: Permission denied"))
        << inside.err.constData();
    EXPECT_FALSE(inside.out.contains("No differences")) << inside.out.constData();
    EXPECT_TRUE(inside.out.contains("Could not be read (2)\n")) << inside.out.constData();
    EXPECT_TRUE(inside.out.contains("\nIncomplete: 2 could not be read; no differences"));
    // Every output says so.
    ASSERT_EQ(run({"--compare", a(), a(), "-o", out("d.json")}).status, 2);
    EXPECT_FALSE(QJsonDocument::fromJson(read(out("d.json"))).object()["complete"].toBool(true));
    ASSERT_EQ(run({"--compare", a(), a(), "-o", out("d.csv")}).status, 2);
    EXPECT_TRUE(read(out("d.csv")).contains("\r\nunreadable," + QFile::encodeName(a())));
    ASSERT_EQ(run({"--compare", a(), a(), "-o", out("d.htm")}).status, 2);
    EXPECT_TRUE(read(out("d.htm")).contains("Incomplete:"));
    m_a.chmod("locked", 0755);

    // A side that cannot be read at all is not an empty one.
    QDir(out("")).mkdir("empty");
    m_b.chmod("", 0);
    const Outcome side = run({"--compare", b(), out("empty")});
    EXPECT_EQ(side.status, 2);
    EXPECT_FALSE(side.out.contains("No differences")) << side.out.constData();
    m_b.chmod("", 0755);

    // A checksum that cannot be read is named with its reason, on either side.
    m_a.chmod("keep.txt", 0);
    const Outcome crc = run({"--compare", a(), a(), "--crc"});
    EXPECT_EQ(crc.status, 2);
    EXPECT_EQ(crc.err.count("cannot read the checksum of " + QFile::encodeName(a()) +
                            "/keep.txt: Permission denied\n"),
              2)
        << crc.err.constData();
    // A listing that says so makes the comparison incomplete too.
    {
        SettingsStore store;
        store.setValue("Fields", "CRC32", "1");
        store.sync();
    }
    ASSERT_EQ(run({"--report", job(m_a), "-o", out("crc.json")}).status, 3);
    m_a.chmod("keep.txt", 0644);
    const Outcome listing = run({"--compare", out("crc.json"), a(), "--crc"});
    EXPECT_EQ(listing.status, 2) << listing.out.constData();
    EXPECT_TRUE(listing.err.contains("cannot read the checksum of " + QFile::encodeName(a()) +
                                     "/keep.txt: unreadable in the listing"))
        << listing.err.constData();
    EXPECT_TRUE(listing.out.contains("Could not be read (1)\n")) << listing.out.constData();

    // Files whose status cannot be read are named, and unknown sizes are no change.
    ASSERT_EQ(run({"-a", a(), out("copy")}, "/bin/cp").status, 0);
    m_a.chmod("sub", 0644);
    const Outcome status = run({"--compare", a(), out("copy")});
    EXPECT_EQ(run({"--compare", a(), out("empty"), "-o", out("s.csv")}).status, 2);
    m_a.chmod("sub", 0755);
    EXPECT_TRUE(read(out("s.csv")).contains("\r\nremoved,sub/three.txt,,file,,,,,"))
        << read(out("s.csv")).constData();
    EXPECT_EQ(status.status, 2);
    EXPECT_EQ(status.err.count("Permission denied (status)\n"), 3) << status.err.constData();
    EXPECT_TRUE(status.out.contains("\nChanged (0)\n")) << status.out.constData();

    // A FIFO has no checksum, which is no failure to read one.
    ASSERT_EQ(::mkfifo(m_a.path("sub/pipe").c_str(), 0600), 0);
    const Outcome fifo = run({"--compare", a(), a(), "--crc"});
    EXPECT_EQ(fifo.status, 0) << fifo.err.constData();
    EXPECT_TRUE(fifo.out.contains("No differences")) << fifo.out.constData();
}

TEST_F(ListingCommands, CompareRefusesAFifoAndTakesASideNamedInBytesThatAreNotUtf8)
{
    const QByteArray fifo = QFile::encodeName(out("pipe.json"));
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    const Outcome refused = run({"--compare", out("pipe.json"), a()}); // returns, never blocks
    EXPECT_EQ(refused.status, 2);
    EXPECT_TRUE(refused.err.contains("is a FIFO")) << refused.err.constData();

    const std::string odd = out("").toStdString() + "/side\xFF";
    std::filesystem::create_directory(odd);
    std::filesystem::copy(m_a.root(), odd, std::filesystem::copy_options::recursive);
    const Outcome raw =
        run({"-c", "s=\"$1/side$(printf '\\377')\"; exec \"$0\" --compare \"$s\" \"$s\"", m_binary,
             out("")},
            "/bin/sh");
    EXPECT_EQ(raw.status, 0) << raw.err.constData();
    EXPECT_TRUE(raw.out.contains("No differences; 7 entries against 7.")) << raw.out.constData();
    EXPECT_TRUE(raw.out.contains("side\\xff\n")) << raw.out.constData(); // the label too
}
