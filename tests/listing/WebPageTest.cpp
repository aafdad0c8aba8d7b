// The interactive page's data as written, read back with Qt's JSON reader; the page itself
// is checked in a browser by tests/webpage.
#include "listing/WebPageWriter.h"

#include <QBuffer>
#include <QJsonArray>
#include <QJsonDocument>
#include <gtest/gtest.h>

using namespace quillon;

namespace {

QByteArray Page(const std::vector<ListingEntry>& entries, const ListingHeader& header)
{
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    WebPageWriter writer(out);
    writer.begin(header);
    for (const ListingEntry& entry : entries)
        writer.write(entry);
    EXPECT_TRUE(writer.finish());
    return out.data();
}

ListingEntry File(std::string path, std::int64_t size)
{
    ListingEntry entry;
    entry.path = std::move(path);
    entry.size = size;
    return entry;
}

// Every row of the page's JSON blocks, in order.
QJsonArray Rows(const QByteArray& page)
{
    QJsonArray rows;
    const QByteArray open = "<script type=\"application/json\" class=\"rows\">";
    for (qsizetype at = page.indexOf(open); at >= 0; at = page.indexOf(open, at)) {
        at += open.size();
        QJsonParseError error;
        const QJsonDocument block =
            QJsonDocument::fromJson(page.mid(at, page.indexOf("</script>", at) - at), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
        for (const QJsonValue& row : block.array())
            rows.append(row);
    }
    return rows;
}

} // namespace

// Names are data, never markup: nothing in them can close the JSON block, and what cannot be
// shown is written as an escape.
TEST(WebPage, NamesCannotLeaveTheirBlock)
{
    ListingHeader header;
    header.locations.push_back(ScanLocation{});
    header.locations.back().path = QStringLiteral("/t/</script><!--");
    const QByteArray page = Page({File("/t/</script><!--/a<\\script>&\x01\xff", 5)}, header);
    EXPECT_EQ(page.count("<script"), 3);
    EXPECT_EQ(page.count("</script>"), 3);
    EXPECT_EQ(page.count("<!--"), 0);
    EXPECT_TRUE(page.contains("<title>Quillon - /t/&lt;/script&gt;&lt;!--</title>"));
    const QJsonArray rows = Rows(page);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].toArray()[2].toString(), "/t/</script><!--");
    EXPECT_EQ(rows[1].toArray()[2].toString(), "a<\\\\script>&\\x01\\xff");
}

// A listing without folder entries (List In Details) still gives a whole tree: each folder
// gets a row below its location, made once, whatever the depth; a folder entry keeps its own.
TEST(WebPage, FoldersWithoutEntriesGetRowsOfTheirOwn)
{
    ListingHeader header;
    header.locations.push_back(ScanLocation{});
    header.locations.back().path = QStringLiteral("/loc");
    ListingEntry folder = File("/other", 0);
    folder.kind = EntryKind::Folder;
    folder.timeKnown = true;
    folder.modified = 1700000000;
    const std::string deep = "/loc/" + std::string(3000, 'x') + "/" + std::string(3000, 'y');
    const QJsonArray rows =
        Rows(Page({File("/loc/a/b/f", 1), File("/loc/a/b/g", 2), File("/loc/h", 3),
                   File(deep + "/z", 4), folder, File("/other/i", 5)},
                  header));
    const char* expected[] = {R"([1,-1,"/loc",null,null])",
                              R"([1,0,"a",null,null])",
                              R"([1,1,"b",null,null])",
                              R"([0,2,"f",1,null])",
                              R"([0,2,"g",2,null])",
                              R"([0,0,"h",3,null])",
                              nullptr,
                              nullptr,
                              R"([0,4,"z",4,null])",
                              R"([1,-1,"/other",null,1700000000])",
                              R"([0,5,"i",5,null])"};
    ASSERT_EQ(rows.size(), 11);
    for (qsizetype i = 0; i < rows.size(); ++i) {
        if (expected[i]) {
            EXPECT_EQ(QJsonDocument(rows[i].toArray()).toJson(QJsonDocument::Compact), expected[i]);
        }
    }
    EXPECT_EQ(rows[7].toArray()[1].toInt(), 3); // the second long folder under the first
}
