#include "app/BatchMode.h"
#include "platform/ProgramFolder.h"
#include "platform/SettingsStore.h"
#include "support/FixtureTree.h"
#include "support/NoReadOverride.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace quillon;

namespace {

struct Result {
    int status = -1;
    bool crashed = false;
    QByteArray out;
    QByteArray err;
};

class BatchMode : public ::testing::Test {
protected:
    void SetUp() override
    {
        // CTest hands over only the first variable of its environment list: fall back to the
        // build tree's layout (the test programs live in tests/ beside the executable).
        m_binary = qEnvironmentVariable("QUILLON_BINARY",
                                        QCoreApplication::applicationDirPath() + "/../quillon");
        ASSERT_TRUE(QFileInfo(m_binary).isExecutable()) << m_binary.toStdString();
        m_tree.file("docs/a.txt", "hello");
        m_tree.file("docs/a}b.txt", "x");
        m_tree.file("docs/R&D  notes.txt", "");
        m_tree.file("music/song.mp3", std::string(2048, 'm'));
        m_tree.file("top.md", "#");
        QFile::remove(ProgramFile("tmpfile.dmp"));
        QFile::remove(ProgramFile("exclusion.lst"));
        QFile::remove(ProgramFile("Default.qjb"));
        SettingsStore store;
        store.removeSection("Settings");
        store.sync();
    }

    QString job(const QString& type = "Option3") const
    {
        const QString path = m_out.filePath("job.qjb");
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write((type + "\r\nName\r\nAsc\r\nCourier New\r\n10\r\n" +
                    QString::fromStdString(m_tree.root()) + ",Yes,*.*,All Levels,3\r\n")
                       .toUtf8());
        return path;
    }
    QString out(const QString& name) const { return m_out.filePath(name); }
    // A job of the given first five lines over the tree, its location ending in tail.
    QString jobOf(const QString& name, const QString& head,
                  const QString& tail = ",Yes,*.*,All Levels,3") const
    {
        QFile file(out(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write((head + "\r\n" + root() + tail + "\r\n").toUtf8());
        return file.fileName();
    }
    QString root() const { return QString::fromStdString(m_tree.root()); }

    Result run(const QStringList& arguments) const
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("QT_QPA_PLATFORM"); // batch mode must not need a display
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
        process.setProcessEnvironment(environment);
        if (m_obeyModes)
            process.setChildProcessModifier(&test::NoReadOverride::DropForChild);
        process.start(m_binary, arguments);
        EXPECT_TRUE(process.waitForStarted());
        EXPECT_TRUE(process.waitForFinished(120000));
        Result result;
        result.crashed = process.exitStatus() != QProcess::NormalExit;
        result.status = process.exitCode();
        result.out = process.readAllStandardOutput();
        result.err = process.readAllStandardError();
        return result;
    }

    static QByteArray read(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QString m_binary;
    bool m_obeyModes = false; ///< the program obeys permission bits even when run by root
    test::FixtureTree m_tree;
    QTemporaryDir m_out;
};

} // namespace

TEST_F(BatchMode, WritesEachFormatAndTheStagingFileButNotTheDefaultJob)
{
    const Result printed = run({"--report", job()});
    ASSERT_EQ(printed.status, 0) << printed.err.constData();
    EXPECT_TRUE(printed.err.isEmpty()) << printed.err.constData(); // no terminal: no progress
    EXPECT_TRUE(printed.out.contains("|  |-- a}b.txt")) << printed.out.constData();
    EXPECT_TRUE(printed.out.contains("2 KB")); // the size column of the sized tree
    EXPECT_TRUE(read(ProgramFile("tmpfile.dmp")).startsWith("{\\rtf1\\ansi\\ansicpg1252"));
    EXPECT_FALSE(QFile::exists(ProgramFile("Default.qjb")));

    ASSERT_EQ(run({"--report", job("Option2"), "-o", out("r.txt")}).status, 0);
    EXPECT_TRUE(read(out("r.txt")).contains("|  |-- R&D  notes.txt"));
    ASSERT_EQ(run({"--report", job("Option2"), "-o", out("r.rtf")}).status, 0);
    const QByteArray rtf = read(out("r.rtf"));
    EXPECT_TRUE(rtf.startsWith("{\\rtf1") && rtf.contains("a\\}b.txt")) << rtf.constData();
    ASSERT_EQ(run({"--report", job("Option4"), "--output=" + out("page.htm")}).status, 0);
    const QByteArray html = read(out("page.htm"));
    EXPECT_TRUE(html.startsWith("<html><head><title>Quillon - "));
    EXPECT_TRUE(
        html.contains(QFile::encodeName(QString::fromStdString(m_tree.path("music"))) + "<br>\r\n"))
        << html.constData();
}

TEST_F(BatchMode, TakesSettingsAndExclusionsOfTheWindow)
{
    {
        SettingsStore store;
        store.setValue("Settings", "IncludeFullSum", "1");
        ASSERT_TRUE(store.sync());
        QFile list(ProgramFile("exclusion.lst"));
        ASSERT_TRUE(list.open(QIODevice::WriteOnly));
        list.write("top.md\r\n<<Folder List Start Here>>\r\n<<Extension List Start Here>>\r\n"
                   "*.mp3\r\n");
    }
    const Result result = run({"--report", job("Option2")});
    ASSERT_EQ(result.status, 0) << result.err.constData();
    EXPECT_TRUE(result.out.contains("Total Summary:"));
    EXPECT_TRUE(result.out.contains("3 file(s) found")) << result.out.constData();
    EXPECT_FALSE(result.out.contains("top.md"));
    EXPECT_FALSE(result.out.contains("song.mp3"));
}

TEST_F(BatchMode, FailuresExitOneWithOneLine)
{
    auto expectFailure = [&](const QStringList& arguments, const char* mention) {
        const Result result = run(arguments);
        EXPECT_EQ(result.status, 1) << arguments.join(' ').toStdString();
        EXPECT_EQ(result.err.count('\n'), 1) << result.err.constData();
        EXPECT_TRUE(result.err.contains(mention)) << result.err.constData();
        EXPECT_TRUE(result.out.isEmpty());
    };
    expectFailure({"--report", out("missing.qjb")}, "missing.qjb");
    expectFailure({"--report", out("Musik")}, "Musik: no such folder or job file");
    expectFailure({"--report", job(), "-o", out("no/such/folder/r.txt")}, "r.txt");
    // The message names every kind of output that -o takes, not only the report's three.
    expectFailure(
        {"--report", job(), "-o", out("r.doc")},
        "r.doc: the output name must end in \".pdf\", \".csv\", \".json\" or \".html\", or "
        "hold \".txt\", \".rtf\" or \".htm\"\n");
    if (geteuid() != 0) {
        QDir().mkpath(out("locked"));
        ::chmod(QFile::encodeName(out("locked")).constData(), 0500);
        expectFailure({"--report", job(), "-o", out("locked/r.htm")}, "locked/r.htm");
        ::chmod(QFile::encodeName(out("locked")).constData(), 0700);
    }
    QFile empty(out("empty.qjb"));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.write("Option2\r\nName\r\nAsc\r\nCourier New\r\n10\r\n\r\n");
    empty.close();
    expectFailure({"--report", out("empty.qjb")}, "no scan location");
}

TEST_F(BatchMode, WrongUsageExitsTwoAndHelpExitsZero)
{
    for (const QStringList& arguments :
         {QStringList{"--report"}, QStringList{"-o", out("r.txt")}, QStringList{"--bogus", "x"},
          QStringList{"--report", job(), "--report", job()}, QStringList{"--report", job(), "x"}}) {
        const Result result = run(arguments);
        EXPECT_EQ(result.status, 2) << arguments.join(' ').toStdString();
        EXPECT_TRUE(result.err.contains("--help")) << result.err.constData();
    }
    const Result help = run({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.contains("--report JOB"));
}

TEST_F(BatchMode, InterruptWritesWhatWasGatheredAndExits130)
{
    for (int i = 0; i < 60; ++i)
        m_tree.file("many/f" + std::to_string(i) + ".txt", "x");
    // Ctrl+C arrives as the walk reaches its twentieth entry.
    quillon::BatchRequest request;
    request.jobPath = job("Option2");
    request.outputPath = out("cut.htm");
    int steps = 0;
    const int status = quillon::RunBatchJob(request, [&] {
        if (++steps == 20)
            std::raise(SIGINT);
    });
    EXPECT_EQ(status, 130);
    const QByteArray html = read(out("cut.htm"));
    EXPECT_TRUE(html.startsWith("<html>"));
    // the page was written in full from the records gathered before the interrupt
    EXPECT_TRUE(html.contains("|--&nbsp;")) << html.constData();
    EXPECT_LT(html.count("|--&nbsp;f"), 60) << html.constData();
    EXPECT_FALSE(html.trimmed().endsWith("<hr><br>"));
}

TEST_F(BatchMode, UnreadableFoldersFilesAndMissingLocationsAreToldAndExitThree)
{
    m_tree.file("locked/inside.txt", "x");
    m_tree.chmod("locked", 0);
    m_tree.file("docs/secret.txt", "123");
    m_tree.chmod("docs/secret.txt", 0);
    {
        SettingsStore store;
        store.setValue("Fields", "CRC32", "1");
        ASSERT_TRUE(store.sync());
    }
    const QString path = job("Option1");
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write(QFile::encodeName(QString::fromStdString(m_tree.path("gone"))) +
                   ",Yes,*.*,All Levels,3\r\n");
    }
    m_obeyModes = true;
    const Result result = run({"--report", path, "-o", out("r.txt")});
    EXPECT_EQ(result.status, 3) << result.err.constData();
    const QByteArray root = QFile::encodeName(QString::fromStdString(m_tree.root()));
    EXPECT_TRUE(result.err.contains("quillon: cannot read " + root +
                                    "/docs/secret.txt: Permission denied\n"))
        << result.err.constData();
    EXPECT_TRUE(result.err.contains("quillon: cannot read the folder " + root +
                                    "/locked: Permission denied\n"));
    EXPECT_TRUE(result.err.contains("quillon: cannot read the folder " + root +
                                    "/gone: No such file or directory\n"));
    // The file keeps its line and the report goes on to the later folders and the summary.
    const QByteArray report = read(out("r.txt"));
    EXPECT_TRUE(report.contains("secret.txt")) << report.constData();
    EXPECT_TRUE(report.contains("song.mp3")) << report.constData();
    EXPECT_TRUE(report.contains("4 file(s) found")) << "docs with secret.txt";
    EXPECT_TRUE(BatchUsage().contains("3 report written, but some"));
}

TEST_F(BatchMode, NodesBehindTheOutputAreNeverReplacedAndAFullDiskIsNamed)
{
    // A private node stands in for a disk's: "-o" through a link to it made a regular file of it.
    const QString node = out("node");
    QStringList targets;
    if (::mknod(QFile::encodeName(node).constData(), S_IFCHR | 0644, makedev(1, 3)) == 0) {
        ASSERT_TRUE(QFile::link(node, out("report.txt")));
        targets << out("report.txt") << out("node.rtf");
        ASSERT_TRUE(QFile::link(node, out("node.rtf")));
    } else {
        std::fprintf(stderr, "skipped device nodes: mknod: %s\n", std::strerror(errno));
    }
    ASSERT_EQ(::mkfifo(QFile::encodeName(out("fifo.csv")).constData(), 0644), 0);
    targets << out("fifo.csv");
    for (const QString& target : targets) {
        const Result result = run({"--report", job(), "-o", target});
        EXPECT_EQ(result.status, 1) << target.toStdString();
        EXPECT_EQ(result.err.count('\n'), 1) << result.err.constData();
        EXPECT_TRUE(result.err.contains("not a regular file")) << result.err.constData();
    }
    struct stat st {};
    if (targets.size() > 1) {
        EXPECT_TRUE(::stat(QFile::encodeName(node).constData(), &st) == 0 && S_ISCHR(st.st_mode));
    }
    EXPECT_TRUE(::stat(QFile::encodeName(out("fifo.csv")).constData(), &st) == 0 &&
                S_ISFIFO(st.st_mode));

    const QString disk = out("disk");
    QDir().mkpath(disk);
    if (::mount("tmpfs", QFile::encodeName(disk).constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "a small file system cannot be mounted here: " << std::strerror(errno);
    {
        QFile filler(disk + "/filler");
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray block(4096, 'f');
        while (filler.write(block) == block.size()) {
        }
    }
    for (const char* name : {"r.txt", "r.rtf", "r.htm", "r.csv", "r.json", "r.pdf"}) {
        const Result result = run({"--report", job(), "-o", disk + "/" + name});
        EXPECT_EQ(result.status, 1) << name;
        EXPECT_TRUE(
            result.err.contains((disk + "/" + name).toUtf8() + ": " + std::strerror(ENOSPC)))
            << result.err.constData();
    }
    ::umount(QFile::encodeName(disk).constData());
}

TEST_F(BatchMode, FoldersWithoutAJobAndOptionsOverTheJob)
{
    // Each option run over the folder gives the report of the job that says the same.
    const QString head = "Option1\r\nName\r\nAsc\r\nCourier New\r\n10";
    const struct {
        QStringList options;
        QString head, tail;
    } cases[] = {
        {{}, head, ",Yes,*.*,All Levels,3"},
        {{"--type", "sizes", "--sort", "size", "--descending"},
         "Option3\r\nSize\r\nDesc\r\nCourier New\r\n10",
         ",Yes,*.*,All Levels,3"},
        {{"--type=tree", "--depth", "1"},
         "Option2\r\nName\r\nAsc\r\nCourier New\r\n10",
         ",Yes,*.*,1,3"},
        {{"--no-subfolders"}, head, ",No,*.*,,3"},
        {{"--types", "*.mp3; *.MD"}, head, ",Yes,.mp3;.MD,All Levels,3"},
        {{"--threads", "1", "--type", "sizes"},
         "Option3\r\nName\r\nAsc\r\nCourier New\r\n10",
         ",Yes,*.*,All Levels,3"}, // one thread or the default: the same report
        {{"--threads", "5"}, head, ",Yes,*.*,All Levels,3"},
    };
    for (const auto& each : cases) {
        const Result expected = run({"--report", jobOf("same.qjb", each.head, each.tail)});
        const Result got = run(QStringList{"--report", root()} + each.options);
        EXPECT_EQ(got.status, 0) << got.err.constData();
        EXPECT_EQ(got.out, expected.out) << each.options.join(' ').toStdString();
    }
    const Result mp3 = run({"--report", root(), "--types", "*.mp3"});
    EXPECT_TRUE(mp3.out.contains("song.mp3") && !mp3.out.contains("a.txt")) << mp3.out.constData();

    // Options override a job's fields; folders after the job add locations.
    const QString sized = job("Option3");
    EXPECT_EQ(run({"--report", sized, "--type", "folders", "--ascending"}).out,
              run({"--report", job("Option4")}).out);
    const Result two = run({"--report", jobOf("docs.qjb", head, "/docs,Yes,*.*,All Levels,3"),
                            root() + "/music", "--type", "tree"});
    EXPECT_TRUE(two.out.contains("a.txt") && two.out.contains("song.mp3")) << two.out.constData();
    EXPECT_FALSE(two.out.contains("top.md"));
    ASSERT_EQ(run({"--report", root(), "--font", "DejaVu Sans", "--size", "14", "-o", out("f.rtf")})
                  .status,
              0);
    const QByteArray rtf = read(out("f.rtf"));
    EXPECT_TRUE(rtf.contains("DejaVu Sans") && rtf.contains("\\fs28")) << rtf.left(300).constData();
}

TEST_F(BatchMode, StandardOutputCarriesTheReportAndNothingElse)
{
    for (const char* kind : {"txt", "rtf", "htm", "csv", "json", "pdf", "html"}) {
        const Result piped = run({"--report", root(), "-o", "-", "--format", kind});
        EXPECT_EQ(piped.status, 0) << kind << piped.err.constData();
        // Qt's own warnings (for a PDF, its fonts) may go to standard error, never elsewhere.
        if (QByteArray(kind) != "pdf") {
            EXPECT_TRUE(piped.err.isEmpty()) << kind << piped.err.constData();
        }
        // The same bytes as the file of that kind (a PDF carries its time of making, a
        // listing and the page its time of scanning); a ".html" name is the page to browse,
        // as --format html.
        const QString file = out(QString("r.") + kind);
        ASSERT_EQ(run({"--report", root(), "-o", file}).status, 0);
        static const QRegularExpression scanned(QStringLiteral("\"scanned\": ?\"[^\"]*\""));
        const auto timeless = [](const QByteArray& bytes) {
            return QString::fromUtf8(bytes).remove(scanned);
        };
        if (QByteArray(kind) == "pdf")
            EXPECT_TRUE(piped.out.startsWith("%PDF-") && piped.out.trimmed().endsWith("%%EOF"));
        else
            EXPECT_EQ(timeless(piped.out), timeless(read(file))) << kind;
    }
    QJsonParseError parsed;
    QJsonDocument::fromJson(run({"--report", root(), "--format", "json"}).out, &parsed);
    EXPECT_EQ(parsed.error, QJsonParseError::NoError) << parsed.errorString().toStdString();
    // --format wins over the name.
    ASSERT_EQ(run({"--report", root(), "-o", out("named.txt"), "--format", "rtf"}).status, 0);
    EXPECT_TRUE(read(out("named.txt")).startsWith("{\\rtf1"));
    const Result compared = run({"--compare", root(), root(), "-o", "-"});
    EXPECT_EQ(compared.status, 0) << compared.err.constData();
    EXPECT_EQ(compared.out, run({"--compare", root(), root()}).out);
    ASSERT_EQ(run({"--report", root(), "-o", out("plain"), "--format", "csv"}).status, 0);
    EXPECT_EQ(read(out("plain")), read(out("r.csv")));
}

TEST_F(BatchMode, BadValuesExitTwoWithOneLine)
{
    const QString folder = root();
    for (const QStringList& options : {QStringList{"--type", "list"},
                                       {"--sort", "owner"},
                                       {"--depth", "-1"},
                                       {"--depth", "x"},
                                       {"--depth", "40000"},
                                       {"--size", "0"},
                                       {"--size", "big"},
                                       {"--types", ";"},
                                       {"--types", "*.a/b"},
                                       {"--format", "doc"},
                                       {"--threads", "0"},
                                       {"--threads", "65"},
                                       {"--format"},
                                       {"--depth", "2", "--no-subfolders"},
                                       {"--ascending", "--descending"},
                                       {"--type", "tree", "--type", "tree"}}) {
        const Result result = run(QStringList{"--report", folder} + options);
        EXPECT_EQ(result.status, 2) << options.join(' ').toStdString();
        EXPECT_EQ(result.err.count('\n'), 1) << result.err.constData();
        EXPECT_TRUE(result.out.isEmpty());
    }
    const Result compare = run({"--compare", folder, folder, "--type", "tree"});
    EXPECT_EQ(compare.status, 2);
    EXPECT_TRUE(compare.err.contains("--type works with --report")) << compare.err.constData();
}

TEST_F(BatchMode, EveryUnreadableDetailIsNamedInReportsAndListingsAlike)
{
    m_tree.file("docs/secret.txt", "123");
    m_tree.chmod("docs/secret.txt", 0);
    m_tree.file("docs/locked.exe", std::string(200, 'x'));
    m_tree.chmod("docs/locked.exe", 0);
    {
        SettingsStore store;
        store.setValue("Fields", "CRC32", "1");
        store.setValue("Fields", "Version", "1");
        store.setValue("Fields", "Title", "1");
        ASSERT_TRUE(store.sync());
    }
    m_obeyModes = true;
    const QByteArray docs = QFile::encodeName(QString::fromStdString(m_tree.path("docs")));
    for (const QString name : {"r.txt", "r.json", "r.csv"}) {
        const Result result = run({"--report", job("Option1"), "-o", out(name)});
        EXPECT_EQ(result.status, 3) << name.toStdString() << result.err.constData();
        EXPECT_TRUE(result.err.contains("quillon: cannot read " + docs +
                                        "/secret.txt: Permission denied\n"))
            << name.toStdString() << result.err.constData();
        // The version and the tag of an unreadable file are told as the checksum is.
        EXPECT_TRUE(result.err.contains("quillon: cannot read " + docs +
                                        "/locked.exe: Permission denied (version, ID3 tag, "
                                        "checksum)\n"))
            << name.toStdString() << result.err.constData();
    }
    // A distinct value, never the "no checksum" of a folder or a link.
    const QByteArray json = read(out("r.json"));
    EXPECT_TRUE(json.contains("secret.txt\", \"kind\": \"file\", \"size\": 3, \"modified\": \"") &&
                json.contains("\"version\": \"\", \"crc32\": \"unreadable\", \"title\": \"\"}"))
        << json.constData();
    EXPECT_TRUE(json.contains("\"version\": null, \"crc32\": \"unreadable\", \"title\": null}"))
        << json.constData();
    const QByteArray csv = read(out("r.csv"));
    EXPECT_TRUE(csv.contains(",secret.txt,file,3,")) << csv.constData();
    EXPECT_TRUE(csv.contains(",,unreadable,,\r\n")) << csv.constData();
}

TEST_F(BatchMode, FilesOfAFolderThatCannotBeEnteredKeepTheirLinesInEveryOutput)
{
    // Read but no search permission: the names can be listed, their status cannot be read.
    m_tree.file("shut/one.txt", "1");
    m_tree.file("shut/two.txt", "22");
    m_tree.chmod("shut", 0644);
    m_obeyModes = true;
    const QByteArray shut = QFile::encodeName(QString::fromStdString(m_tree.path("shut")));
    for (const auto& [type, name] : {std::pair<QString, QString>{"Option1", "r.txt"},
                                     {"Option1", "r.htm"},
                                     {"Option3", "r.rtf"},
                                     {"Option2", "r.json"},
                                     {"Option1", "r.csv"}}) {
        const Result result = run({"--report", job(type), "-o", out(name)});
        EXPECT_EQ(result.status, 3) << name.toStdString() << result.err.constData();
        for (const char* file : {"/one.txt", "/two.txt"}) {
            EXPECT_EQ(result.err.count("quillon: cannot read " + shut + file +
                                       ": Permission denied (status)\n"),
                      1)
                << name.toStdString() << result.err.constData();
            EXPECT_TRUE(read(out(name)).contains(QByteArray(file + 1)))
                << name.toStdString() << read(out(name)).constData();
        }
    }
    // Unknown values stay blank, never a made-up size or time.
    EXPECT_TRUE(read(out("r.json")).contains("\"size\": null, \"modified\": null"));
    EXPECT_TRUE(read(out("r.txt")).contains("2 file(s) found")) << read(out("r.txt")).constData();
}
