// Listings checked with parsers of their own (Qt's JSON reader, a small RFC 4180 reader) and
// against the files on disk; the comparison over trees with known differences.
#include "listing/ComparisonOutput.h"
#include "listing/JsonListingReader.h"
#include "listing/ListingComparison.h"
#include "listing/ListingWriter.h"
#include "report/ReportSettings.h"
#include "support/FixtureTree.h"
#include "support/WalkedScan.h"

#include <QBuffer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTextLayout>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <tuple>
#include <unistd.h>

using namespace quillon;

namespace {

using Row = std::map<std::string, std::string>;

// RFC 4180 as the test reads it: quoted fields may hold commas, quotes ("") and line breaks.
std::vector<std::vector<std::string>> ParseCsv(const std::string& text)
{
    std::vector<std::vector<std::string>> rows(1);
    std::string field;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"' && i + 1 < text.size() && text[i + 1] == '"')
                field.push_back('"'), ++i;
            else if (c == '"')
                quoted = false;
            else
                field.push_back(c);
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            rows.back().push_back(field), field.clear();
        } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            rows.back().push_back(field), field.clear();
            rows.emplace_back();
            ++i;
        } else {
            field.push_back(c);
        }
    }
    EXPECT_TRUE(rows.back().empty() && field.empty()) << "last line without CR LF";
    rows.pop_back();
    return rows;
}

std::uint32_t Crc32Of(const std::string& bytes)
{
    std::uint32_t crc = 0xFFFFFFFF;
    for (const char c : bytes) {
        crc ^= static_cast<unsigned char>(c);
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
    }
    return ~crc;
}

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Hex(const std::string& text)
{
    return QByteArray::fromStdString(text).toHex().toStdString();
}

const std::string kLatin1Name = "latin1-\xE9t\xE9.bin";

class Listing : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_tree.file("plain.txt", "hello");
        m_tree.file("comma, \"quoted\".txt", "1,2");
        m_tree.file("line\nbreak.txt", "two\nlines");
        m_tree.file("Ünïcødé 日本.txt", "ü");
        m_tree.file(kLatin1Name, "not utf-8 name"); // invalid UTF-8
        std::string tag(128, '\0');
        tag.replace(0, 3, "TAG");
        tag.replace(3, 5, "Title");
        tag.replace(33, 6, "Artist");
        tag.replace(93, 4, "1999");
        tag[127] = 17; // Rock
        m_tree.file("sub/song.mp3", std::string(300, 'm') + tag);
        m_tree.file("sub/deeper/x.exe", "MZ");
        m_tree.symlink("sub/link", "../plain.txt");
        m_tree.setModified("plain.txt", "2021-03-04 05:06:07");
    }

    // Qt cannot name this file to remove it with the folder.
    void TearDown() override { std::filesystem::remove(m_tree.path(kLatin1Name)); }

    // Scans the tree as a Tree view (folders have records) with every detail column on.
    void Scan()
    {
        ScanLocation location;
        location.path = QString::fromStdString(m_tree.root());
        location.level = QStringLiteral("All Levels");
        ASSERT_TRUE(m_run.Run({location}, {}, ReportType::TreeView));
        m_settings.Fields[DetailColumn::Attribute] = m_settings.Fields[DetailColumn::Version] =
            m_settings.Fields[DetailColumn::Owner] = m_settings.Fields[DetailColumn::CRC32] = true;
        m_settings.Fields[DetailColumn::Title] = m_settings.Fields[DetailColumn::Artist] =
            m_settings.Fields[DetailColumn::Year] = m_settings.Fields[DetailColumn::Genre] = true;
        m_header = MakeListingHeader({location}, ReportType::TreeView, m_settings, {});
    }

    std::string Write(ListingFormat format)
    {
        RecordListingSource source(m_run.records(), m_header);
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QString error;
        EXPECT_TRUE(WriteListing(source, format, buffer, &error)) << error.toStdString();
        return buffer.data().toStdString();
    }

    // Every field of one listed entry against the file on disk.
    void CheckAgainstDisk(const Row& row)
    {
        std::string path = row.at("path");
        if (!row.at("pathHex").empty())
            path = QByteArray::fromHex(QByteArray::fromStdString(row.at("pathHex"))).toStdString();
        SCOPED_TRACE(path);
        struct stat st {};
        ASSERT_EQ(::lstat(path.c_str(), &st), 0);
        m_seen.push_back(path);
        const std::size_t slash = path.rfind('/');
        if (row.at("pathHex").empty()) {
            EXPECT_EQ(row.at("name"), path.substr(slash + 1));
            EXPECT_EQ(row.at("folder"), path.substr(0, slash));
        }
        const std::string kind = S_ISDIR(st.st_mode)   ? "folder"
                                 : S_ISLNK(st.st_mode) ? "link"
                                                       : "file";
        EXPECT_EQ(row.at("kind"), kind);
        if (kind != "folder") {
            EXPECT_EQ(row.at("size"), std::to_string(st.st_size));
        }
        const QDateTime modified =
            QDateTime::fromString(QString::fromStdString(row.at("modified")), Qt::ISODate);
        EXPECT_EQ(modified.toSecsSinceEpoch(), st.st_mtime) << row.at("modified");
        EXPECT_EQ(modified.offsetFromUtc(), modified.toLocalTime().offsetFromUtc());
        if (kind == "file") {
            char crc[9];
            std::snprintf(crc, sizeof crc, "%08X", Crc32Of(ReadAll(path)));
            EXPECT_EQ(row.at("crc32"), crc);
            EXPECT_EQ(row.at("attributes"), "A");
        }
        if (path.ends_with("song.mp3")) {
            EXPECT_EQ(row.at("title"), "Title");
            EXPECT_EQ(row.at("artist"), "Artist");
            EXPECT_EQ(row.at("year"), "1999");
            EXPECT_EQ(row.at("genre"), "Rock");
        }
        EXPECT_FALSE(row.at("owner").empty());
    }

    void CheckEveryRecordListed()
    {
        EXPECT_EQ(m_seen.size(), m_run.records().lastIndex());
        std::vector<std::string> records;
        for (std::size_t i = 1; i <= m_run.records().lastIndex(); ++i) {
            const ScanRecord& r = m_run.records()[i];
            std::string p = r.folder->path();
            if (r.isFolder())
                p.pop_back();
            records.push_back(r.isFolder() ? p : p + r.name);
        }
        EXPECT_EQ(m_seen, records); // same entries, in record order
    }

    test::FixtureTree m_tree;
    test::WalkedScan m_run;
    ReportSettings m_settings;
    ListingHeader m_header;
    std::vector<std::string> m_seen;
};

} // namespace

TEST_F(Listing, JsonHoldsEveryRecordWithItsExactValues)
{
    Scan();
    const std::string text = Write(ListingFormat::Json);
    QJsonParseError parseError;
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromStdString(text), &parseError);
    ASSERT_EQ(parseError.error, QJsonParseError::NoError) << text;
    const QJsonObject root = document.object();
    EXPECT_EQ(root["format"].toString(), "quillon-listing");
    EXPECT_EQ(root["version"].toInt(), 1);
    EXPECT_EQ(root["job"]["locations"][0]["path"].toString().toStdString(), m_tree.root());
    EXPECT_EQ(root["job"]["reportType"].toString(), "Tree view");
    EXPECT_TRUE(root["job"]["columns"].toArray().contains("crc32"));
    EXPECT_TRUE(QDateTime::fromString(root["scanned"].toString(), Qt::ISODate).isValid());
    for (const QJsonValue& value : root["entries"].toArray()) {
        Row row;
        const QJsonObject entry = value.toObject();
        for (auto it = entry.begin(); it != entry.end(); ++it)
            row[it.key().toStdString()] =
                it->isDouble() ? std::to_string(it->toInteger()) : it->toString().toStdString();
        row.try_emplace("pathHex");
        CheckAgainstDisk(row);
    }
    CheckEveryRecordListed();
}

TEST_F(Listing, CsvIsRfc4180WithOneHeaderRow)
{
    Scan();
    const auto rows = ParseCsv(Write(ListingFormat::Csv));
    ASSERT_FALSE(rows.empty());
    const std::vector<std::string> header = rows.front();
    EXPECT_EQ(header.front(), "path");
    EXPECT_EQ(header.back(), "pathHex");
    for (std::size_t i = 1; i < rows.size(); ++i) {
        ASSERT_EQ(rows[i].size(), header.size()) << i;
        Row row;
        for (std::size_t k = 0; k < header.size(); ++k)
            row[header[k]] = rows[i][k];
        CheckAgainstDisk(row);
    }
    CheckEveryRecordListed();
}

TEST_F(Listing, OwnReaderGivesBackEveryEntryWhateverTheJsonLayout)
{
    Scan();
    const std::string compact = Write(ListingFormat::Json);
    // The same document re-indented and with its keys reordered by another writer.
    const QByteArray reformatted =
        QJsonDocument::fromJson(QByteArray::fromStdString(compact)).toJson(QJsonDocument::Indented);
    for (const QByteArray& text : {QByteArray::fromStdString(compact), reformatted}) {
        QBuffer in;
        in.setData(text);
        in.open(QIODevice::ReadOnly);
        JsonListingReader reader(in);
        ASSERT_TRUE(reader.open()) << reader.error().toStdString();
        EXPECT_EQ(reader.header().columns, ListingColumnsOf(m_settings));
        EXPECT_EQ(reader.header().locations.size(), 1u);
        RecordListingSource disk(m_run.records(), m_header);
        ListingEntry read, made;
        std::size_t count = 0;
        while (disk.next(made)) {
            ASSERT_TRUE(reader.next(read)) << reader.error().toStdString();
            EXPECT_EQ(Hex(read.path), Hex(made.path)); // invalid UTF-8 survives through pathHex
            EXPECT_EQ(read.kind, made.kind);
            EXPECT_EQ(read.size, made.size);
            EXPECT_EQ(read.modified, made.modified);
            EXPECT_EQ(read.crcKnown, made.crcKnown);
            EXPECT_EQ(read.crc, made.crc);
            EXPECT_EQ(read.texts, made.texts);
            ++count;
        }
        EXPECT_FALSE(reader.next(read));
        EXPECT_TRUE(reader.error().isEmpty());
        EXPECT_EQ(count, m_run.records().lastIndex());
    }
}

TEST(ListingReader, RefusesWhatIsNoListingWithoutCrashing)
{
    const QByteArray good = R"({"format": "quillon-listing", "version": 1, "entries": [
        {"path": "/a", "kind": "file", "size": 1, "modified": null}]})";
    for (qsizetype cut = 0; cut < good.size(); ++cut) {
        QBuffer in;
        in.setData(good.left(cut));
        in.open(QIODevice::ReadOnly);
        JsonListingReader reader(in);
        ListingEntry entry;
        if (reader.open())
            while (reader.next(entry)) {
            }
        EXPECT_FALSE(reader.error().isEmpty()) << cut;
    }
    for (const char* bad :
         {R"({"format": "other", "entries": []})",
          R"({"format": "quillon-listing", "entries": [{"path": "/a", "size": "x"}]})",
          R"({"format": "quillon-listing", "entries": [{"path": "/a", "pathHex": "zz"}]})",
          "[1, 2]"}) {
        QBuffer in;
        in.setData(bad);
        in.open(QIODevice::ReadOnly);
        JsonListingReader reader(in);
        ListingEntry entry;
        if (reader.open())
            while (reader.next(entry)) {
            }
        EXPECT_FALSE(reader.error().isEmpty()) << bad;
    }
}

TEST(ListingReader, EachEntryMayPutItsKeysElsewhereAndSpellThemOtherwise)
{
    // What one entry's keys and time taught the reader must not mislead it on the next.
    const QByteArray text = R"({"format": "quillon-listing", "version": 1, "entries": [
{"path": "/d/a", "kind": "file", "size": 1, "modified": "2026-12-07T13:01:33+01:00"},
{"size": 2, "path": "/d/b", "modified": "2026-12-07T13:01:33+01:00", "kind": "link"},
{"sizes": 9, "p\u0061th": "/d/c", "kind": "file", "size": 3, "modified": "2026-12-07T13:01:34Z"},
{"sizes" :9, "path":"/d/d", "kind": "file", "size": 4, "modified": "2026-12-07T13:01:34Z"},
{"path": "/d/e", "kind": "folder", "size": 4, "modified": null, "size": 5}]})";
    QBuffer in;
    in.setData(text);
    in.open(QIODevice::ReadOnly);
    JsonListingReader reader(in);
    ASSERT_TRUE(reader.open());
    ListingEntry entry;
    const std::tuple<const char*, EntryKind, std::int64_t, std::int64_t, int> expected[] = {
        {"/d/a", EntryKind::File, 1, 1796644893, 3600},
        {"/d/b", EntryKind::Link, 2, 1796644893, 3600},
        {"/d/c", EntryKind::File, 3, 1796648494, 0},
        {"/d/d", EntryKind::File, 4, 1796648494, 0}};
    for (const auto& [path, kind, size, modified, offset] : expected) {
        ASSERT_TRUE(reader.next(entry)) << reader.error().toStdString();
        EXPECT_EQ(entry.path, path);
        EXPECT_EQ(entry.kind, kind);
        EXPECT_EQ(entry.size, size);
        EXPECT_TRUE(entry.timeKnown);
        EXPECT_EQ(entry.modified, modified) << path;
        EXPECT_EQ(entry.utcOffset, offset) << path;
    }
    EXPECT_FALSE(reader.next(entry));
    EXPECT_NE(reader.error().indexOf(QStringLiteral("the key \"size\" given twice")), -1)
        << reader.error().toStdString();
}

namespace {

// Reads a listing file to its end as --compare does; the error, empty when it read whole.
std::string ReadListingFile(const QString& path, std::size_t* count = nullptr)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly));
    JsonListingReader reader(file);
    ListingEntry entry;
    std::size_t n = 0;
    if (reader.open())
        while (reader.next(entry))
            ++n;
    if (count)
        *count = n;
    return reader.error().toStdString();
}

} // namespace

TEST(ListingReader, HostileListingsAreRefusedNamingTheFileAndTheOffset)
{
    QTemporaryDir dir;
    const std::string head = R"({"format": "quillon-listing", "version": 1, )";
    const auto entry = [](const std::string& path, const std::string& more = "") {
        return R"({"path": ")" + path + R"(", "kind": "file", "size": 1, "modified": null)" + more +
               "}";
    };
    const auto write = [&](const std::string& name, const std::string& text) {
        const QString path = dir.filePath(QString::fromStdString(name));
        std::ofstream(path.toStdString()) << text;
        return path;
    };
    // Unknown values of any size are passed over, whatever they hold.
    std::string junk = head + R"("junk": [)";
    for (int i = 0; i < 100000; ++i)
        junk += R"(1, "x", {"a": [null]}, )";
    junk += R"(1], "entries": [)" +
            entry("/d/a",
                  R"(, "other": ")" + std::string(3 << 20, 'j') + R"(", "crc32": "unreadable")") +
            "]}";
    std::size_t count = 0;
    EXPECT_EQ(ReadListingFile(write("junk.json", junk), &count), "");
    EXPECT_EQ(count, 1u);

    const std::string deep = std::string(40, '[') + std::string(40, ']');
    std::string many; // a folder of many names, one given again after them
    for (int n = 0; n < 300; ++n)
        many += entry("/d/f" + std::to_string(n)) + ", ";
    const std::pair<const char*, std::string> refused[] = {
        {"nested deeper", head + R"("entries": [)" + entry("/d/a", R"(, "x": )" + deep) + "]}"},
        {"longer than", head + R"("entries": [)" + entry("/d/" + std::string(2 << 20, 'n')) + "]}"},
        {"given twice", head + R"("entries": [)" + entry("/d/a") + ", " + entry("/d/b") + ", " +
                            entry("/d/a") + "]}"},
        {"given twice", head + R"("entries": [)" + many + entry("/d/f7") + "]}"},
        {"crc32", head + R"("entries": [)" + entry("/d/a", R"(, "crc32": "ABCDEF1")") + "]}"},
        {"crc32", head + R"("entries": [)" + entry("/d/a", R"(, "crc32": 12345678)") + "]}"},
        {"size", head + R"("entries": [{"path": "/d/a", "kind": "file", "size": -5}]})"},
        {"size", head + R"("entries": [{"path": "/d/a", "kind": "file", "size": "12"}]})"},
        {"without kind or size", head + R"("entries": [{"path": "/d/a"}]})"},
        {"ISO 8601", head + R"("entries": [{"path": "/d/a", "kind": "file", "size": 1, )"
                            R"("modified": ""}]})"},
    };
    int i = 0;
    for (const auto& [why, text] : refused) {
        const QString path = write("bad" + std::to_string(++i) + ".json", text);
        const std::string error = ReadListingFile(path);
        EXPECT_NE(error.find(path.toStdString() + ": "), std::string::npos) << error;
        EXPECT_NE(error.find(why), std::string::npos) << error;
        EXPECT_NE(error.find(" at byte "), std::string::npos) << error;
    }
}

TEST(ListingTime, IsoTextRoundTripsWithItsOffset)
{
    for (const auto& [seconds, offset] : std::vector<std::pair<std::int64_t, int>>{
             {0, 0}, {1700000000, 3600}, {-86401, -5 * 3600 - 1800}, {951782400, 19800}}) {
        const std::string text = IsoTime(seconds, offset);
        std::int64_t back = 0;
        int backOffset = 0;
        ASSERT_TRUE(ParseIsoTime(text, back, backOffset)) << text;
        EXPECT_EQ(back, seconds) << text;
        EXPECT_EQ(backOffset, offset) << text;
        EXPECT_EQ(
            QDateTime::fromString(QString::fromStdString(text), Qt::ISODate).toSecsSinceEpoch(),
            seconds)
            << text;
    }
    EXPECT_EQ(IsoTime(951782400, 0), "2000-02-29T00:00:00+00:00");
}

namespace {

// Two copies of one tree, the second with 3 files changed, 2 added, 1 removed, 1 renamed.
class Compare : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (test::FixtureTree* tree : {&m_old, &m_new}) {
            tree->file("same.txt", "same");
            tree->file("grows.txt", "12345");
            tree->file("a/edited.txt", "abc");
            tree->file("a/touched.txt", "t");
            tree->file("a/b/gone.txt", "bye");
            tree->file("a/b/old name.txt", "renamed content");
        }
        std::filesystem::remove(m_new.path("a/b/gone.txt"));
        std::filesystem::rename(m_new.path("a/b/old name.txt"), m_new.path("a/new name.txt"));
        m_new.file("grows.txt", "123456789");
        m_new.file("a/edited.txt", "xyz"); // same size and time: only the CRC tells
        m_new.file("added.txt", "new");
        m_new.file("c/also added.txt", "new too");
        for (test::FixtureTree* tree : {&m_old, &m_new})
            for (const char* name : {"same.txt", "grows.txt", "a/edited.txt", "a/touched.txt",
                                     "a/b/old name.txt", "a/new name.txt", "a/b/gone.txt"})
                if (std::filesystem::exists(tree->path(name)))
                    tree->setModified(name, "2020-01-01 00:00:00");
        m_new.setModified("a/touched.txt", "2021-01-01 00:00:00");
    }

    static std::unique_ptr<test::WalkedScan> ScanOf(const test::FixtureTree& tree)
    {
        auto run = std::make_unique<test::WalkedScan>();
        ScanLocation location;
        location.path = QString::fromStdString(tree.root());
        location.level = QStringLiteral("All Levels");
        EXPECT_TRUE(run->Run({location}, {}, ReportType::TreeView));
        return run;
    }
    static ListingHeader HeaderOf(const test::FixtureTree& tree)
    {
        ScanLocation location;
        location.path = QString::fromStdString(tree.root());
        ReportSettings settings;
        settings.Fields[DetailColumn::CRC32] = true;
        return MakeListingHeader({location}, ReportType::TreeView, settings, {});
    }
    // The differences between the scans of two trees, each listed with its checksums.
    static CompareResult CompareScans(const test::FixtureTree& x, const test::FixtureTree& y)
    {
        const auto a = ScanOf(x);
        const auto b = ScanOf(y);
        RecordListingSource left(a->records(), HeaderOf(x));
        RecordListingSource right(b->records(), HeaderOf(y));
        CompareResult result;
        QString error;
        EXPECT_TRUE(CompareListings(left, right, result, &error)) << error.toStdString();
        return result;
    }
    static std::vector<std::string> Paths(const std::vector<Difference>& list, bool old)
    {
        std::vector<std::string> paths;
        for (const Difference& d : list)
            paths.push_back(old ? d.old.path : d.now.path);
        return paths;
    }
    void Expect(const CompareResult& r)
    {
        EXPECT_EQ(Paths(r.added, false),
                  (std::vector<std::string>{"added.txt", "c", "c/also added.txt"}));
        EXPECT_EQ(Paths(r.removed, true), (std::vector<std::string>{"a/b/gone.txt"}));
        EXPECT_EQ(Paths(r.changed, false),
                  (std::vector<std::string>{"grows.txt", "a/edited.txt", "a/touched.txt"}));
        ASSERT_EQ(r.changed.size(), 3u);
        EXPECT_TRUE(r.changed[0].sizeChanged && !r.changed[0].timeChanged);
        EXPECT_TRUE(r.changed[1].crcChanged && !r.changed[1].sizeChanged);
        EXPECT_TRUE(r.changed[2].timeChanged && !r.changed[2].crcChanged);
        ASSERT_EQ(r.moved.size(), 1u);
        EXPECT_EQ(r.moved[0].old.path, "a/b/old name.txt");
        EXPECT_EQ(r.moved[0].now.path, "a/new name.txt");
    }

    test::FixtureTree m_old, m_new;
};

} // namespace

TEST_F(Compare, FindsEachKindOfDifferenceBetweenTwoScans)
{
    const CompareResult result = CompareScans(m_old, m_new);
    Expect(result);

    const std::vector<CompareLine> lines = CompareReportLines(result);
    std::string text;
    for (const CompareLine& line : lines)
        text += line.text + "\n";
    EXPECT_NE(text.find("Added (3)\n"), std::string::npos) << text;
    EXPECT_NE(text.find("   grows.txt: size 5 \xE2\x86\x92 9, CRC32 "), std::string::npos) << text;
    EXPECT_NE(text.find("   a/b/old name.txt \xE2\x86\x92 a/new name.txt\n"), std::string::npos);
    EXPECT_EQ(lines.back().text, "3 added, 1 removed, 3 changed, 1 moved or renamed; 8 entries "
                                 "against 10.")
        << text;

    // A tree against itself: nothing.
    EXPECT_TRUE(CompareScans(m_old, m_old).same());
}

TEST_F(Compare, ASavedListingComparesLikeTheScanItWasMadeFrom)
{
    const auto a = ScanOf(m_old);
    const auto b = ScanOf(m_new);
    QBuffer saved;
    saved.open(QIODevice::WriteOnly);
    RecordListingSource writer(a->records(), HeaderOf(m_old));
    QString error;
    ASSERT_TRUE(WriteListing(writer, ListingFormat::Json, saved, &error));
    saved.close();
    saved.open(QIODevice::ReadOnly);
    JsonListingReader left(saved);
    ASSERT_TRUE(left.open());
    RecordListingSource right(b->records(), HeaderOf(m_new));
    CompareResult result;
    ASSERT_TRUE(CompareListings(left, right, result, &error)) << error.toStdString();
    Expect(result);
}

TEST(CompareOrder, AListingOutOfRecordOrderIsTroubleNotAWrongAnswer)
{
    const QByteArray shuffled =
        R"({"format": "quillon-listing", "job": {"locations": [{"path": "/r"}],
        "reportType": "List In Details"}, "entries": [
        {"path": "/r/b/x", "kind": "file", "size": 1}, {"path": "/r/a/x", "kind": "file", "size": 1}]})";
    QBuffer one, two;
    for (QBuffer* b : {&one, &two}) {
        b->setData(shuffled);
        b->open(QIODevice::ReadOnly);
    }
    JsonListingReader left(one), right(two);
    ASSERT_TRUE(left.open() && right.open());
    CompareResult result;
    QString error;
    EXPECT_FALSE(CompareListings(left, right, result, &error));
    EXPECT_TRUE(error.contains("record order")) << error.toStdString();
}

TEST(ListingDetails, PathsPastPathMaxKeepEveryDetailAndLinksStayLinks)
{
    // 20 levels of 255-byte names: the deepest entries lie past 5,000 bytes, beyond PATH_MAX.
    test::FixtureTree tree;
    const std::string name(255, 'd');
    std::vector<int> fds{::open(tree.root().c_str(), O_RDONLY | O_DIRECTORY)};
    constexpr int kLevels = 20;
    for (int level = 0; level < kLevels; ++level) {
        ASSERT_EQ(::mkdirat(fds.back(), name.c_str(), 0755), 0);
        fds.push_back(::openat(fds.back(), name.c_str(), O_RDONLY | O_DIRECTORY));
        ASSERT_GE(fds.back(), 0);
    }
    const int file = ::openat(fds.back(), "f.txt", O_CREAT | O_WRONLY, 0644);
    ASSERT_EQ(::write(file, "123456789", 9), 9);
    const timespec times[2] = {{1600000000, 0}, {1600000000, 0}};
    ASSERT_EQ(::futimens(file, times), 0);
    ::close(file);
    ASSERT_EQ(::symlinkat("f.txt", fds.back(), "link"), 0);

    ScanLocation location;
    location.path = QString::fromStdString(tree.root());
    location.level = QStringLiteral("All Levels");
    test::WalkedScan run;
    ASSERT_TRUE(run.Run({location}, {}, ReportType::TreeView));
    ReportSettings settings;
    settings.Fields[DetailColumn::Attribute] = settings.Fields[DetailColumn::Owner] =
        settings.Fields[DetailColumn::CRC32] = true;
    RecordListingSource source(run.records(),
                               MakeListingHeader({location}, ReportType::TreeView, settings, {}));
    std::size_t told = 0;
    source.setUnreadableHook([&](const std::string&, const QString&, unsigned) { ++told; });
    std::map<std::string, ListingEntry> deepest;
    ListingEntry entry;
    while (source.next(entry))
        if (entry.path.size() > 5000 && entry.folder().size() > 5000)
            deepest[std::string(entry.name())] = entry;

    for (std::size_t i = fds.size() - 1; i > 0; --i) {
        ::unlinkat(fds[i], "f.txt", 0);
        ::unlinkat(fds[i], "link", 0);
        ::close(fds[i]);
        ::unlinkat(fds[i - 1], name.c_str(), AT_REMOVEDIR);
    }
    ::close(fds[0]);

    EXPECT_EQ(told, 0u);
    ASSERT_EQ(deepest.size(), 2u);
    const ListingEntry& f = deepest["f.txt"];
    EXPECT_EQ(f.kind, EntryKind::File);
    EXPECT_TRUE(f.timeKnown);
    EXPECT_EQ(f.modified, 1600000000);
    EXPECT_TRUE(f.crcKnown);
    EXPECT_EQ(CrcText(f.crc), "CBF43926");
    EXPECT_EQ(*f.detail(DetailColumn::Attribute), "A");
    EXPECT_FALSE(f.detail(DetailColumn::Owner)->empty());
    const ListingEntry& link = deepest["link"];
    EXPECT_EQ(link.kind, EntryKind::Link);
    EXPECT_TRUE(link.timeKnown);
    EXPECT_FALSE(link.crcKnown);
    EXPECT_FALSE(link.detail(DetailColumn::Owner)->empty());
}

TEST(ListingReader, AnUnreadableChecksumIsUnknownAndMarked)
{
    QBuffer in;
    in.setData(R"({"format": "quillon-listing", "version": 1, "entries": [
        {"path": "/a", "kind": "file", "size": 1, "modified": null, "crc32": "unreadable"},
        {"path": "/b", "kind": "file", "size": null, "modified": null, "version": null},
        {"path": "/c", "kind": "file", "size": 1, "modified": null, "crc32": "CBF43926"}]})");
    in.open(QIODevice::ReadOnly);
    JsonListingReader reader(in);
    ASSERT_TRUE(reader.open()) << reader.error().toStdString();
    ListingEntry a, b, c;
    ASSERT_TRUE(reader.next(a) && reader.next(b) && reader.next(c));
    EXPECT_FALSE(a.crcKnown);
    EXPECT_EQ(a.unreadable, unsigned(kUnreadableCrc));
    EXPECT_EQ(b.unreadable, unsigned(kUnreadableStatus | kUnreadableVersion));
    EXPECT_TRUE(c.crcKnown);
    EXPECT_EQ(c.unreadable, 0u);
}

TEST_F(Compare, KindChangesAreChangedAndNamesShowWhatTellsThemApart)
{
    test::FixtureTree x, y;
    x.file("k", "was a file");
    x.file("d/inner.txt", "in a folder");
    y.file("k/in.txt", "now a folder");
    y.file("d", "now a file");
    x.file("caf\xC3\xA9", "composed");  // NFC
    y.file("cafe\xCC\x81", "composed"); // NFD: the same name to the eye
    x.file("n\xFF", "not UTF-8");       // two names that are not UTF-8
    y.file("n\xFE", "not UTF-8");
    y.file("evil\nNo differences; 0 entries against 0.", "forged");
    y.file("bell\a\x1B[31m\\", "terminal");
    const CompareResult result = CompareScans(x, y);
    std::vector<std::string> retyped;
    for (const Difference& d : result.changed)
        if (d.kindChanged)
            retyped.push_back(d.old.path + ":" + std::string(EntryKindText(d.old.kind)) + ">" +
                              std::string(EntryKindText(d.now.kind)));
    std::sort(retyped.begin(), retyped.end());
    EXPECT_EQ(retyped, (std::vector<std::string>{"d:folder>file", "k:file>folder"}));
    for (const Difference& d : result.added)
        EXPECT_TRUE(d.now.path != "k" && d.now.path != "d") << d.now.path;
    for (const Difference& d : result.removed)
        EXPECT_TRUE(d.old.path != "k" && d.old.path != "d") << d.old.path;

    std::string text;
    for (const CompareLine& line : CompareReportLines(result)) {
        EXPECT_FALSE(line.text.starts_with("No differences")) << line.text;
        text += line.text + "\n";
    }
    EXPECT_NE(text.find("   caf\xC3\xA9 \xE2\x86\x92 cafe\\u0301\n"), std::string::npos) << text;
    EXPECT_NE(text.find("   n\\xff \xE2\x86\x92 n\\xfe\n"), std::string::npos) << text;
    EXPECT_NE(text.find("   evil\\nNo differences; 0 entries"), std::string::npos) << text;
    EXPECT_NE(text.find("   bell\\x07\\x1b[31m\\\\\n"), std::string::npos) << text;
    EXPECT_EQ(text.find_first_of("\a\x1B"), std::string::npos);

    QTemporaryDir dir;
    QString error;
    ASSERT_TRUE(SaveCompareResult(result, {"Courier New", "10", 0}, dir.filePath("d.csv"), &error));
    ASSERT_TRUE(SaveCompareResult(result, {"Courier New", "10", 0}, dir.filePath("d.htm"), &error));
    QFile csvFile(dir.filePath("d.csv")), htmFile(dir.filePath("d.htm"));
    ASSERT_TRUE(csvFile.open(QIODevice::ReadOnly) && htmFile.open(QIODevice::ReadOnly));
    const auto rows = ParseCsv(csvFile.readAll().toStdString());
    ASSERT_GT(rows.size(), 1u);
    EXPECT_EQ(rows[0].back(), "old_pathHex");
    bool hexRow = false;
    for (const auto& row : rows)
        if (row.size() == rows[0].size() && row[0] == "moved" && row[1] == "n\uFFFD")
            hexRow = row[row.size() - 2] == "6efe" && row.back() == "6eff";
    EXPECT_TRUE(hexRow);
    const QByteArray page = htmFile.readAll();
    EXPECT_TRUE(page.contains("font-family: \"Courier New\"")) << page.constData();
    EXPECT_FALSE(page.contains("Courier&nbsp;New"));
}

// A right-to-left name keeps its run to itself: the arrow and the new name stay right of it.
TEST_F(Compare, RightToLeftNamesStayLeftOfTheArrow)
{
    const std::string hebrew = "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D";
    const std::string arabic = "\xD9\x85\xD9\x84\xD9\x81";
    test::FixtureTree x, y;
    x.file(hebrew, "renamed");
    y.file(hebrew + " " + arabic, "renamed"); // the blank continues the run
    x.file(arabic + "/in.txt", "moved");
    y.file("in.txt", "moved");
    const CompareResult result = CompareScans(x, y);
    int checked = 0;
    for (const CompareLine& line : CompareReportLines(result)) {
        const QString text = QString::fromStdString(line.text);
        const qsizetype arrow = text.indexOf(QChar(0x2192));
        if (arrow < 0)
            continue;
        ++checked;
        QTextLayout layout(text);
        QTextOption option;
        option.setTextDirection(Qt::LeftToRight);
        layout.setTextOption(option);
        layout.beginLayout();
        const QTextLine shown = layout.createLine();
        layout.endLayout();
        for (int i = 3; i < int(arrow) - 1; ++i)
            EXPECT_LT(shown.cursorToX(i), shown.cursorToX(int(arrow))) << line.text << " @" << i;
        for (int i = int(arrow) + 2; i < int(text.size()); ++i)
            EXPECT_GT(shown.cursorToX(i), shown.cursorToX(int(arrow) + 1))
                << line.text << " @" << i;
    }
    EXPECT_EQ(checked, 2);
}

TEST(CompareScope, AFolderListAgainstATreeComparesFoldersOnlyAndSaysSo)
{
    const auto listing = [](const char* type, const char* entries) {
        return QByteArray(R"({"format": "quillon-listing", "job": {"locations": [{"path": "/r"},
            {"path": "/r2"}], "reportType": ")") +
               type + R"("}, "entries": [)" + entries + "]}";
    };
    QBuffer one, two;
    one.setData(listing("Folder list", R"({"path": "/r", "kind": "folder", "size": 0},
        {"path": "/r/a", "kind": "folder", "size": 0}, {"path": "/r2", "kind": "folder", "size": 0})"));
    two.setData(listing("Tree view", R"({"path": "/r", "kind": "folder", "size": 0},
        {"path": "/r/x", "kind": "file", "size": 1}, {"path": "/r/a", "kind": "folder", "size": 0},
        {"path": "/r/a/y", "kind": "file", "size": 1}, {"path": "/r/b", "kind": "folder", "size": 0},
        {"path": "/r2", "kind": "folder", "size": 0}, {"path": "/r2/z", "kind": "file", "size": 1},
        {"path": "/r2/c", "kind": "folder", "size": 0})"));
    for (QBuffer* b : {&one, &two})
        b->open(QIODevice::ReadOnly);
    JsonListingReader left(one), right(two);
    ASSERT_TRUE(left.open() && right.open());
    CompareResult result;
    QString error;
    ASSERT_TRUE(CompareListings(left, right, result, &error)) << error.toStdString();
    std::vector<std::string> added;
    for (const Difference& d : result.added)
        added.push_back(d.now.path);
    EXPECT_EQ(added, (std::vector<std::string>{"/r/b", "/r2/c"}));
    EXPECT_TRUE(result.removed.empty() && result.changed.empty());
    EXPECT_FALSE(result.files);
    EXPECT_EQ(CompareReportLines(result)[2].text,
              "Folders only: a side is a folder list, which holds no files.");
}

TEST(ListingTotals, FolderEntriesCarryTotalsFilesAllocatedAndVersionOneReadersSkipThem)
{
    test::FixtureTree tree;
    tree.file("a/x.txt", std::string(300, 'x'));
    tree.file("a/b/y.txt", std::string(20, 'y'));
    tree.sparseFile("a/b/sparse.txt", 1 << 20);
    RecordList records;
    const FolderNode* a = records.addFolder(nullptr, tree.path("a") + "/");
    const FolderNode* b = records.addFolder(a, "b");
    records.appendFolderRecord(a);
    records.appendFile(a, "x.txt", 300);
    records.appendFolderRecord(b);
    records.appendFile(b, "y.txt", 20);
    records.appendFile(b, "sparse.txt", 1 << 20);
    records.computeFolderTotals();

    ListingHeader header;
    header.reportType = QStringLiteral("Tree view with file size");
    RecordListingSource source(records, header);
    source.setSizeChoices(true, true);
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    QString error;
    ASSERT_TRUE(WriteListing(source, ListingFormat::Json, out, &error)) << error.toStdString();
    const QJsonObject doc = QJsonDocument::fromJson(out.data()).object();
    EXPECT_EQ(doc["version"].toInt(), 1);
    const QJsonArray entries = doc["entries"].toArray();
    ASSERT_EQ(entries.size(), 5);
    EXPECT_EQ(entries[0].toObject()["totalSize"].toInteger(), 300 + 20 + (1 << 20));
    EXPECT_EQ(entries[0].toObject()["fileCount"].toInteger(), 3);
    EXPECT_EQ(entries[2].toObject()["totalSize"].toInteger(), 20 + (1 << 20));
    struct stat st {};
    ASSERT_EQ(::stat(tree.path("a/b/sparse.txt").c_str(), &st), 0);
    const QJsonObject sparse = entries[4].toObject();
    EXPECT_EQ(sparse["size"].toInteger(), 1 << 20);
    EXPECT_EQ(sparse["allocated"].toInteger(), static_cast<qint64>(st.st_blocks) * 512);
    EXPECT_FALSE(entries[1].toObject().contains("totalSize")); // files have none

    // CSV: the added columns come last, blank where they do not apply.
    RecordListingSource again(records, header);
    again.setSizeChoices(true, true);
    QBuffer csv;
    csv.open(QIODevice::WriteOnly);
    ASSERT_TRUE(WriteListing(again, ListingFormat::Csv, csv, &error)) << error.toStdString();
    const QList<QByteArray> lines = csv.data().split('\n');
    EXPECT_TRUE(lines[0].endsWith(",pathHex,allocated,totalSize,fileCount\r")) << lines[0].data();
    EXPECT_TRUE(lines[1].endsWith(",,," + QByteArray::number(300 + 20 + (1 << 20)) + ",3\r"))
        << lines[1].data();
    ASSERT_EQ(::stat(tree.path("a/x.txt").c_str(), &st), 0);
    EXPECT_TRUE(lines[2].endsWith(",," + QByteArray::number(qint64(st.st_blocks) * 512) + ",,\r"))
        << lines[2].data();

    QBuffer in;
    in.setData(out.data());
    in.open(QIODevice::ReadOnly);
    JsonListingReader reader(in);
    ASSERT_TRUE(reader.open()) << reader.error().toStdString();
    ListingEntry entry;
    int count = 0;
    while (reader.next(entry))
        ++count;
    EXPECT_EQ(count, 5);
    EXPECT_TRUE(reader.error().isEmpty()) << reader.error().toStdString();
}

// Each listed column of the table is written under its key, read back into its own field, and
// a null one is unknown by its own bit (version and tags; attributes and owner have none).
TEST(ListingColumns, EachDetailColumnRoundTripsUnderItsOwnKey)
{
    ReportSettings all;
    all.Fields.on.fill(true);
    ListingHeader header;
    header.columns = ListingColumnsOf(all);
    ListingEntry written;
    written.path = "/x";
    written.crcKnown = true;
    written.crc = 0xCBF43926;
    for (const DetailColumnRow& row : kDetailColumns)
        if (std::string* text = written.detail(row.column))
            *text = std::string(row.key) + " value";
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    JsonListingWriter writer(out);
    writer.begin(header);
    writer.write(written);
    ASSERT_TRUE(writer.finish());
    QBuffer in;
    in.setData(QByteArray(out.data())
                   .replace("\"Version value\"", "null")
                   .replace("\"Genre value\"", "null"));
    in.open(QIODevice::ReadOnly);
    JsonListingReader reader(in);
    ASSERT_TRUE(reader.open()) << reader.error().toStdString();
    EXPECT_EQ(reader.header().columns, header.columns);
    ListingEntry read;
    ASSERT_TRUE(reader.next(read)) << reader.error().toStdString();
    EXPECT_EQ(read.unreadable, unsigned(kUnreadableVersion | kUnreadableTag));
    EXPECT_EQ(read.crc, written.crc);
    for (const DetailColumnRow& row : kDetailColumns) {
        const std::string* text = read.detail(row.column);
        if (text && row.column != DetailColumn::Version && row.column != DetailColumn::Genre) {
            EXPECT_EQ(*text, *written.detail(row.column)) << row.key;
        }
    }
}
