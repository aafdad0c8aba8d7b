// Reports laid out of saved listings against the reports of the scans they were made from, and
// listings merged into one.
#include "listing/ListingRecords.h"
#include "listing/JsonListingReader.h"
#include "report/Layouts.h"
#include "support/FileBytes.h"
#include "support/FixtureTree.h"
#include "support/WalkedScan.h"

#include <QBuffer>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <filesystem>
#include <gtest/gtest.h>

using namespace quillon;

namespace {

constexpr ReportType kTypes[] = {ReportType::ListInDetails, ReportType::TreeView,
                                 ReportType::TreeViewWithSize, ReportType::FolderList};

ScanLocation LocationOf(const std::string& root)
{
    ScanLocation location;
    location.path = QString::fromStdString(root);
    location.level = QStringLiteral("All Levels");
    return location;
}

// A scan of root as type with settings, and its JSON listing.
struct Scanned {
    test::WalkedScan run;
    QByteArray listing;

    Scanned(const std::string& root, ReportType type, const ReportSettings& settings)
    {
        run.setOptions(ScanOptionsOf(settings));
        EXPECT_TRUE(run.Run({LocationOf(root)}, {}, type));
        RecordListingSource source(
            run.records(), MakeListingHeader({LocationOf(root)}, type, settings, ExclusionList()));
        source.setSizeChoices(settings.FolderTotals, settings.SizeOnDisk, settings.IncludeHidden);
        QBuffer out(&listing);
        out.open(QIODevice::WriteOnly);
        QString error;
        EXPECT_TRUE(WriteListing(source, ListingFormat::Json, out, &error)) << qPrintable(error);
    }
};

// Records read back from listings; false with the reader's message.
bool Read(ListingRecords& records, const std::vector<QByteArray>& listings, QString* error)
{
    for (const QByteArray& listing : listings) {
        QBuffer in;
        in.setData(listing);
        in.open(QIODevice::ReadOnly);
        JsonListingReader reader(in, QStringLiteral("list.json"));
        if (!reader.open() || !records.add(reader, QStringLiteral("list.json"))) {
            *error = reader.error() + records.error();
            return false;
        }
    }
    records.finish();
    return true;
}

class ListingReport : public ::testing::Test {
protected:
    QByteArray Layout(ReportType type, const Scanned& scan)
    {
        ScanCounters counters;
        bool cancel = false;
        const QString path = m_dir.filePath(QStringLiteral("scan.dmp"));
        EXPECT_TRUE(LayOutScan(type, scan.run.records(), counters, &cancel,
                               {LocationOf(m_tree.root())}, m_choices, path));
        return test::FileBytes(path);
    }
    QByteArray Layout(ReportType type, const ListingRecords& records)
    {
        ScanCounters counters;
        bool cancel = false;
        const QString path = m_dir.filePath(QStringLiteral("listing.dmp"));
        EXPECT_TRUE(LayOutListingRecords(type, records, counters, &cancel, m_choices, path));
        return test::FileBytes(path);
    }

    test::FixtureTree m_tree;
    QTemporaryDir m_dir;
    ReportChoices m_choices;
};

TEST_F(ListingReport, EveryTypeAndSortOfAListingIsTheScansReport)
{
    // Names that are not UTF-8 (a file and a folder), tags, sizes and times that sort apart,
    // an empty folder and one deep inside.
    const std::string latin1File = "caf\xE9.txt", latin1Folder = "d\xE9j\xE0";
    m_tree.file(latin1File, "not utf-8");
    m_tree.file(latin1Folder + "/inner.bin", std::string(3000, 'x'));
    std::string tag(128, '\0');
    tag.replace(0, 3, "TAG");
    tag.replace(3, 5, "Title");
    tag.replace(93, 4, "1999");
    tag[127] = 17;
    m_tree.file("music/song.mp3", std::string(500, 'm') + tag);
    m_tree.file("music/b.txt", "bb");
    m_tree.file("a/b/c/deep.txt", std::string(70000, 'd'));
    m_tree.folder("empty");
    m_tree.setModified("music/b.txt", "2019-05-06 07:08:09");
    m_tree.setModified(latin1File, "2024-01-02 03:04:05");

    ReportSettings every; // every column, totals, sizes on disk, folders by their totals
    every.Fields[DetailColumn::Time] = every.Fields[DetailColumn::Attribute] =
        every.Fields[DetailColumn::Version] = every.Fields[DetailColumn::Owner] =
            every.Fields[DetailColumn::CRC32] = true;
    every.Fields[DetailColumn::Title] = every.Fields[DetailColumn::Artist] =
        every.Fields[DetailColumn::Album] = every.Fields[DetailColumn::Year] =
            every.Fields[DetailColumn::Genre] = every.Fields[DetailColumn::Comment] = true;
    every.FolderTotals = every.SortFoldersByTotal = every.SizeOnDisk = true;
    every.IncludeFullSum = true;
    int compared = 0;
    for (const ReportSettings& settings : {ReportSettings(), every}) {
        m_choices.settings = settings;
        for (const ReportType type : kTypes) {
            const Scanned scan(m_tree.root(), type, settings);
            ListingRecords records(settings);
            QString error;
            ASSERT_TRUE(Read(records, {scan.listing}, &error)) << qPrintable(error);
            EXPECT_EQ(records.reportType(), type);
            EXPECT_TRUE(records.lacks(type).isEmpty())
                << qPrintable(records.lacks(type).join('\n'));
            for (const char* key : {"Name", "Size", "Date"}) {
                for (const bool ascending : {true, false}) {
                    m_choices.sort = DetailsSort{QString::fromLatin1(key), ascending};
                    SCOPED_TRACE(std::to_string(int(type)) + key + (ascending ? "+" : "-"));
                    const QByteArray fromScan = Layout(type, scan);
                    EXPECT_EQ(Layout(type, records), fromScan);
                    EXPECT_TRUE(fromScan.contains("music"));
                    ++compared;
                }
            }
        }
    }
    EXPECT_EQ(compared, 48);
    std::filesystem::remove(m_tree.path(latin1File));
    std::filesystem::remove_all(m_tree.path(latin1Folder));
}

TEST_F(ListingReport, WhatAListingLacksIsLeftBlankAndNamed)
{
    m_tree.file("plain.txt", "hello");
    m_tree.file("sub/x.txt", "x");
    m_tree.symlink("link", "plain.txt");
    // A tree listing without columns, laid out as List In Details with the checksum column.
    const Scanned tree(m_tree.root(), ReportType::TreeView, ReportSettings());
    m_choices.settings.Fields[DetailColumn::CRC32] = true;
    ListingRecords records(m_choices.settings);
    QString error;
    ASSERT_TRUE(Read(records, {tree.listing}, &error));
    const QStringList lacks = records.lacks(ReportType::ListInDetails);
    ASSERT_EQ(lacks.size(), 2) << qPrintable(lacks.join('\n'));
    EXPECT_TRUE(lacks[0].contains("1 symbolic link")) << qPrintable(lacks[0]);
    EXPECT_TRUE(lacks[1].endsWith("no crc32 column(s); left blank")) << qPrintable(lacks[1]);
    // Only the link's line differs from the scan's report: its date is blank, no other one.
    const Scanned details(m_tree.root(), ReportType::ListInDetails, m_choices.settings);
    QList<QByteArray> fromScan = Layout(ReportType::ListInDetails, details).split('\n');
    QList<QByteArray> fromListing = Layout(ReportType::ListInDetails, records).split('\n');
    ASSERT_EQ(fromScan.size(), fromListing.size());
    for (qsizetype i = 0; i < fromScan.size(); ++i) {
        // The checksum the listing has not is the only other difference.
        const QString withoutCrc =
            QString::fromUtf8(fromScan[i]).remove(QRegularExpression("  [0-9A-F]{8}"));
        if (fromScan[i].startsWith("link "))
            EXPECT_FALSE(fromListing[i].contains('/')) << fromListing[i].constData();
        else
            EXPECT_EQ(QString::fromUtf8(fromListing[i]), withoutCrc);
    }
    // A folder list has no files; a List In Details listing no folders.
    const Scanned folders(m_tree.root(), ReportType::FolderList, ReportSettings());
    ListingRecords noFiles{ReportSettings()};
    ASSERT_TRUE(Read(noFiles, {folders.listing}, &error));
    EXPECT_TRUE(noFiles.lacks(ReportType::TreeView).join("").contains("holds no files"));
    ListingRecords noFolders{ReportSettings()};
    ASSERT_TRUE(Read(noFolders, {details.listing}, &error));
    EXPECT_TRUE(noFolders.lacks(ReportType::TreeView).join("").contains("no folder entries"));
}

TEST_F(ListingReport, ListingsMergeIntoOneThatReadsAsTheirReportTogether)
{
    test::FixtureTree other;
    m_tree.file("a.txt", "a");
    m_tree.file("sub/b.txt", "bb");
    other.file("c.txt", "ccc");
    other.file("more/d.txt", "dddd");
    ReportSettings crc;
    crc.Fields[DetailColumn::CRC32] = true;
    const Scanned one(m_tree.root(), ReportType::TreeView, crc);
    const Scanned two(other.root(), ReportType::TreeView, ReportSettings());
    const auto merge = [](const std::vector<const QByteArray*>& listings, QByteArray* out,
                          QStringList* told) {
        std::vector<std::unique_ptr<QBuffer>> ins;
        std::vector<std::unique_ptr<JsonListingReader>> readers;
        std::vector<ListingSource*> sources;
        for (const QByteArray* listing : listings) {
            ins.push_back(std::make_unique<QBuffer>());
            ins.back()->setData(*listing);
            ins.back()->open(QIODevice::ReadOnly);
            readers.push_back(std::make_unique<JsonListingReader>(*ins.back()));
            EXPECT_TRUE(readers.back()->open());
            sources.push_back(readers.back().get());
        }
        QBuffer buffer(out);
        buffer.open(QIODevice::WriteOnly);
        QString error;
        const bool merged =
            MergeListings(sources, {"one.json", "two.json"}, ListingFormat::Json, buffer, &error,
                          [told](const QString& line) { *told += line; });
        *told += error;
        return merged;
    };
    QByteArray merged;
    QStringList told;
    ASSERT_TRUE(merge({&one.listing, &two.listing}, &merged, &told));
    // The column only one listing has is left out, and said so.
    ASSERT_EQ(told.size(), 2);
    EXPECT_EQ(told[0], "two.json has no crc32 column: the merged listing leaves it out");
    EXPECT_FALSE(merged.contains("\"crc32\""));
    // The merged listing is the two, each a location of its own, and gives their report.
    ListingRecords fromMerged{ReportSettings()}, fromBoth{ReportSettings()};
    QString error;
    ASSERT_TRUE(Read(fromMerged, {merged}, &error)) << qPrintable(error);
    ASSERT_TRUE(Read(fromBoth, {one.listing, two.listing}, &error));
    EXPECT_EQ(fromMerged.locations().size(), 2u);
    EXPECT_EQ(fromMerged.records().lastIndex(), 8u);
    const QByteArray report = Layout(ReportType::TreeViewWithSize, fromMerged);
    EXPECT_EQ(report, Layout(ReportType::TreeViewWithSize, fromBoth));
    EXPECT_LT(report.indexOf("a.txt"), report.indexOf("c.txt"));

    // Refused: listings of two report types, and a folder whose entries would repeat.
    const Scanned details(m_tree.root(), ReportType::ListInDetails, ReportSettings());
    told.clear();
    EXPECT_FALSE(merge({&one.listing, &details.listing}, &merged, &told));
    EXPECT_TRUE(told.join("").contains("only listings of one report type merge"));
    const Scanned flat(m_tree.path("sub"), ReportType::ListInDetails, ReportSettings());
    told.clear();
    EXPECT_FALSE(merge({&flat.listing, &flat.listing}, &merged, &told));
    EXPECT_TRUE(told.join("").endsWith("is in more than one listing")) << qPrintable(told.join(""));
}

} // namespace

TEST(ListingRecordsBounds, DeepPathsThatPartEarlyAreRefusedNotHeld)
{
    // Each path 400,000 folders deep, parting from the others at its first: a folder node
    // per component would take some 40 times the listing's bytes.
    QByteArray json = R"({"format": "quillon-listing", "version": 1, "entries": [
{"path": "/f", "kind": "file", "size": 1})";
    const QByteArray deep = QByteArray("/a").repeated(400000);
    for (int i = 0; i < 6; ++i)
        json += ",\n{\"path\": \"/x" + QByteArray::number(i) + deep +
                "/f\", \"kind\": \"file\", "
                "\"size\": 1}";
    json += "]}";
    ListingRecords records{ReportSettings()};
    QString error;
    EXPECT_FALSE(Read(records, {json}, &error));
    EXPECT_EQ(error, "list.json: more folders than a listing of 4 entries can hold");
    EXPECT_LT(records.records().folderCount(), std::size_t(2) << 20);
}
