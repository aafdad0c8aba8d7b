#include "app/JobFile.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillon;

namespace {

ScanLocation Location(QString path, QString sub, QString filter, QString level, int icon)
{
    return ScanLocation{std::move(path), std::move(sub), std::move(filter), std::move(level), icon};
}

Job Parsed(QByteArrayView text, Job job = {})
{
    ParseJobText(text, job);
    return job;
}

} // namespace

TEST(JobFile, WritesTheFormatAndReadsEveryFieldBack)
{
    Job job;
    job.type = ReportType::TreeView;
    job.locations = {Location("/data", "Yes", "*.*", "All Levels", 3),
                     Location("/srv/x", "No", ".mp3;.JPG", "", 4)};
    EXPECT_EQ(JobFileText(job), "Option2\r\nName\r\nAsc\r\nCourier New\r\n10\r\n"
                                "/data,Yes,*.*,All Levels,3\r\n/srv/x,No,.mp3;.JPG,,4\r\n");

    QTemporaryDir dir;
    const QString path = dir.filePath("job.qjb");
    for (ReportType type :
         {ReportType::ListInDetails, ReportType::TreeViewWithSize, ReportType::FolderList}) {
        job.type = type;
        job.sortKey = "Size";
        job.ascending = type == ReportType::FolderList;
        job.fontName = "Liberation Mono";
        job.fontSize = "10.5";
        job.locations = {Location("/data/Café, Menu", "Yes", ".txt;.md", "3", 3),
                         Location("/a,b,c", "No", "*.*", "", 4)};
        ASSERT_TRUE(WriteJobFile(path, job));
        Job back;
        back.type = ReportType::None;
        ASSERT_TRUE(ReadJobFile(path, back));
        EXPECT_EQ(back, job);
    }
    // No locations: an empty sixth line; the shorter job replaces the longer file completely.
    job.locations.clear();
    job.ascending = false;
    ASSERT_TRUE(WriteJobFile(path, job));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "Option4\r\nSize\r\nDesc\r\nLiberation Mono\r\n10.5\r\n\r\n");
}

TEST(JobFile, UnusableLinesChangeNothing)
{
    Job before;
    before.type = ReportType::FolderList;
    before.locations = {Location("/old", "Yes", "*.*", "", 3)};
    Job job = Parsed("option2\nDate\ndesc\n", before);
    EXPECT_EQ(job.type, ReportType::FolderList); // type names are case-sensitive
    EXPECT_EQ(job.sortKey, "Date");
    EXPECT_FALSE(job.ascending); // anything but "Asc"
    EXPECT_EQ(job.fontName, before.fontName);
    EXPECT_TRUE(job.locations.empty()); // the old locations are always replaced
    EXPECT_EQ(Parsed("\xEF\xBB\xBFOption4\r\n").type, ReportType::FolderList);

    job = Parsed("Option2\nName\nAsc\nF\n10\n\n/a,Yes,*.*\n/b,Yes,*.*,,x\r\n/c,No,*.*,2,4,");
    ASSERT_EQ(job.locations.size(), 2u);
    EXPECT_EQ(job.locations[0], Location("/b", "Yes", "*.*", "", 3)); // icon not a number: scan
    EXPECT_EQ(job.locations[1], Location("/c,No", "*.*", "2", "4", 3));

    // A location with a line break cannot be written; it is left out, not spread over lines.
    job.locations = {Location("/a\nb", "Yes", "*.*", "", 3), Location("/c", "Yes", "*.*", "", 4)};
    EXPECT_EQ(Parsed(JobFileText(job)).locations,
              (ScanLocationList{Location("/c", "Yes", "*.*", "", 4)}));
}

TEST(JobFile, PathsHoldingCommasKeepThemWhole)
{
    EXPECT_EQ(ParseLocationLine("/x/a,b,Yes,*.*,All Levels,3"),
              Location("/x/a,b", "Yes", "*.*", "All Levels", 3));
    EXPECT_EQ(ParseLocationLine(",,Yes,*.*,,4"), Location(",", "Yes", "*.*", "", 4));
    EXPECT_FALSE(ParseLocationLine("/x,Yes,*.*,1").has_value());
}

TEST(JobFile, BinaryGarbageNeverCrashes)
{
    QRandomGenerator random(7);
    for (int round = 0; round < 50; ++round) {
        QByteArray bytes(static_cast<int>(random.bounded(4096)), '\0');
        for (char& b : bytes)
            b = static_cast<char>(round % 2 && random.bounded(8) == 0 ? ',' : random.bounded(256));
        for (const ScanLocation& location : Parsed(bytes).locations)
            EXPECT_TRUE(location.icon == 3 || location.icon == 4);
    }
}

TEST(JobFile, FileFailuresLeaveTheJobAndTheOldFile)
{
    QTemporaryDir dir;
    Job job;
    job.fontName = "Kept";
    QString error;
    EXPECT_FALSE(ReadJobFile(dir.filePath("missing.qjb"), job, &error));
    EXPECT_TRUE(error.contains("missing.qjb"));
    EXPECT_FALSE(ReadJobFile(dir.path(), job, &error));
    EXPECT_EQ(job.fontName, "Kept");
    EXPECT_FALSE(WriteJobFile(dir.filePath("no/such/job.qjb"), job, &error));

    const QString path = dir.filePath("job.qjb");
    ASSERT_TRUE(WriteJobFile(path, job));
    if (geteuid() != 0) {
        ::chmod(QFile::encodeName(dir.path()).constData(), 0500);
        EXPECT_FALSE(WriteJobFile(path, Job{}, &error));
        ::chmod(QFile::encodeName(dir.path()).constData(), 0700);
    }
    Job back;
    ASSERT_TRUE(ReadJobFile(path, back));
    EXPECT_EQ(back.fontName, "Kept");
}

TEST(JobFile, OnlyBoundedRegularFilesAreRead)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath("fifo.qjb");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    const QString link = dir.filePath("zero.qjb");
    ASSERT_TRUE(QFile::link("/dev/zero", link));
    Job job;
    job.fontName = "kept";
    QString error;
    // An endless device was read until the memory ran out; a FIFO blocked for ever.
    for (const QString& path : {QStringLiteral("/dev/zero"), link, fifo}) {
        EXPECT_FALSE(ReadJobFile(path, job, &error)) << path.toStdString();
        EXPECT_TRUE(error.contains("not a regular file")) << error.toStdString();
    }
    const QString huge = dir.filePath("huge.qjb");
    {
        QFile file(huge);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(65 * 1024 * 1024)); // sparse
    }
    EXPECT_FALSE(ReadJobFile(huge, job, &error));
    EXPECT_TRUE(error.contains("too large")) << error.toStdString();
    EXPECT_EQ(job.fontName, "kept");
}

TEST(JobFile, AJobIsNeverWrittenOverAFifoOrThroughALinkToOne)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath("fifo.qjb");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    const QString link = dir.filePath("link.qjb");
    ASSERT_TRUE(QFile::link(fifo, link));
    for (const QString& path : {fifo, link}) {
        QString error;
        EXPECT_FALSE(WriteJobFile(path, Job(), &error)) << path.toStdString();
        EXPECT_TRUE(error.contains("not a regular file")) << error.toStdString();
    }
    struct stat st {};
    EXPECT_TRUE(::stat(QFile::encodeName(fifo).constData(), &st) == 0 && S_ISFIFO(st.st_mode));
}

TEST(JobFile, ALocationHoldingANulIsRefused)
{
    // The walk would stop at the NUL while the folder titles showed the rest.
    const Job job = Parsed(QByteArray("Option1\nName\nAsc\nFont\n10\n/tmp\0/etc,Yes,*.*,,3\n"
                                      "/srv,Yes,*.*,,3\n",
                                      62));
    ASSERT_EQ(job.locations.size(), 1u);
    EXPECT_EQ(job.locations[0].path, "/srv");
    Job withNul;
    withNul.locations.push_back(Location(QString("/a") + QChar(0) + "b", "Yes", "*.*", "", 3));
    EXPECT_FALSE(JobFileText(withNul).contains('\0'));
}

TEST(JobFile, AJobReadIsTheJobWrittenBack)
{
    // Found by fuzz_job_file: a carriage return inside a location line was read as part of
    // the location, which the writer then had to leave out.
    const QByteArray text = "Option3\r\nName\r\nAsk\r\nFont\r\n20\r\n/home/Music,Yes,.mp3,,3\r"
                            "o,srv/a,b,No,*.*,,4\r\n/srv,Yes,*.*,,3\r\n";
    const Job job = Parsed(text);
    ASSERT_EQ(job.locations.size(), 1u);
    EXPECT_EQ(Parsed(JobFileText(job)), job);
    // Also found by it: a line beginning with U+FEFF lost it at each reading.
    const Job marked = Parsed("\n\xEF\xBB\xBF\xEF\xBB\xBF\b\n\n\r");
    EXPECT_EQ(marked.sortKey, QStringLiteral("\uFEFF\uFEFF\b"));
    EXPECT_EQ(Parsed(JobFileText(marked)), marked);
}
