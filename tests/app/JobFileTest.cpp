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

TEST(JobFile, TextOfAJob)
{
    Job job;
    job.type = ReportType::TreeView;
    job.locations = {Location("/data", "Yes", "*.*", "All Levels", 3),
                     Location("/srv/x", "No", ".mp3;.JPG", "", 4)};
    EXPECT_EQ(JobFileText(job), "Option2\r\nName\r\nAsc\r\nCourier New\r\n10\r\n"
                                "/data,Yes,*.*,All Levels,3\r\n/srv/x,No,.mp3;.JPG,,4\r\n");
    job.locations.clear();
    job.ascending = false;
    EXPECT_EQ(JobFileText(job), "Option2\r\nName\r\nDesc\r\nCourier New\r\n10\r\n\r\n");
}

TEST(JobFile, RoundTripsEveryField)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("job.qjb");
    Job job;
    for (ReportType type : {ReportType::ListInDetails, ReportType::TreeView,
                            ReportType::TreeViewWithSize, ReportType::FolderList}) {
        job.type = type;
        job.sortKey = "Size";
        job.ascending = type == ReportType::TreeView;
        job.fontName = "Liberation Mono";
        job.fontSize = "10.5";
        job.locations = {Location("/data/Café, Menu", "Yes", ".txt;.md", "3", 3),
                         Location("/", "No", "*.*", "", 4),
                         Location("/a,b,c", "Yes", "*.*", "All Levels", 3)};
        ASSERT_TRUE(WriteJobFile(path, job));
        Job back;
        back.type = ReportType::None;
        ASSERT_TRUE(ReadJobFile(path, back));
        EXPECT_EQ(back, job);
    }
    // An empty job reads back empty, and a shorter job replaces a longer file completely.
    job.locations.clear();
    ASSERT_TRUE(WriteJobFile(path, job));
    Job back;
    back.locations = {Location("/old", "Yes", "*.*", "", 3)};
    ASSERT_TRUE(ReadJobFile(path, back));
    EXPECT_EQ(back, job);
}

TEST(JobFile, LinesAreReadAsTheWindowWouldApplyThem)
{
    Job before;
    before.type = ReportType::FolderList;
    // unknown or lower-case type keeps the old one; anything but "Asc" is descending
    Job job = Parsed("option2\nDate\ndesc\nMono\n12\n", before);
    EXPECT_EQ(job.type, ReportType::FolderList);
    EXPECT_EQ(job.sortKey, "Date");
    EXPECT_FALSE(job.ascending);
    EXPECT_EQ(job.fontName, "Mono");
    EXPECT_EQ(job.fontSize, "12");
    EXPECT_FALSE(Parsed("Option1\nName\nasc\n").ascending);
    EXPECT_TRUE(Parsed("Option1\nName\nAsc\r\n").ascending);
    EXPECT_EQ(Parsed("\xEF\xBB\xBFOption4\r\n").type, ReportType::FolderList);

    // A file that stops early changes only what it has.
    job = Parsed("Option3\r\n", before);
    EXPECT_EQ(job.type, ReportType::TreeViewWithSize);
    EXPECT_EQ(job.sortKey, before.sortKey);
    EXPECT_EQ(job.fontSize, before.fontSize);

    // Short and broken location lines add nothing; the old locations are always replaced.
    before.locations = {Location("/old", "Yes", "*.*", "", 3)};
    job =
        Parsed("Option2\nName\nAsc\nF\n10\n\n/a,Yes,*.*\n/b,Yes,*.*,,x\r\n/c,No,*.*,2,4,", before);
    ASSERT_EQ(job.locations.size(), 2u);
    EXPECT_EQ(job.locations[0], Location("/b", "Yes", "*.*", "", 3)); // icon not a number: scan
    EXPECT_EQ(job.locations[1], Location("/c,No", "*.*", "2", "4", 3));
}

TEST(JobFile, PathsHoldingCommasKeepThemWhole)
{
    EXPECT_EQ(ParseLocationLine("/x/a,b,Yes,*.*,All Levels,3"),
              Location("/x/a,b", "Yes", "*.*", "All Levels", 3));
    EXPECT_EQ(ParseLocationLine(",,Yes,*.*,,4"), Location(",", "Yes", "*.*", "", 4));
    EXPECT_EQ(ParseLocationLine("/x,Yes,*.*,1, 4 "), Location("/x", "Yes", "*.*", "1", 4));
    EXPECT_FALSE(ParseLocationLine("/x,Yes,*.*,1").has_value());
}

TEST(JobFile, LocationsWithLineBreaksAreLeftOutRatherThanBreakingTheFile)
{
    Job job;
    job.locations = {Location("/a\nb", "Yes", "*.*", "", 3), Location("/c", "Yes", "*.*", "", 3)};
    const Job back = Parsed(JobFileText(job));
    ASSERT_EQ(back.locations.size(), 1u);
    EXPECT_EQ(back.locations[0].path, "/c");
}

TEST(JobFile, BinaryGarbageNeverCrashes)
{
    QRandomGenerator random(7);
    for (int round = 0; round < 50; ++round) {
        QByteArray bytes(static_cast<int>(random.bounded(4096)), '\0');
        for (char& b : bytes)
            b = static_cast<char>(random.bounded(256));
        if (round % 2)
            bytes.replace('\x01', ',');
        Job job = Parsed(bytes);
        for (const ScanLocation& location : job.locations)
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

    EXPECT_FALSE(WriteJobFile(dir.filePath("no/such/folder/job.qjb"), job, &error));
    EXPECT_FALSE(error.isEmpty());

    const QString path = dir.filePath("job.qjb");
    ASSERT_TRUE(WriteJobFile(path, job));
    if (geteuid() != 0) {
        ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0500), 0);
        Job other;
        other.fontName = "New";
        EXPECT_FALSE(WriteJobFile(path, other, &error));
        ::chmod(QFile::encodeName(dir.path()).constData(), 0700);
    }
    Job back;
    ASSERT_TRUE(ReadJobFile(path, back));
    EXPECT_EQ(back.fontName, "Kept");
}
