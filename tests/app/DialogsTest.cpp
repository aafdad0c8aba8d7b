#include "app/Dialogs.h"

#include <gtest/gtest.h>

using namespace quillon;

TEST(FileFilterTest, PipeFiltersBecomeQtFilters)
{
    EXPECT_EQ(QtFileFilter(QStringLiteral("A|*.a|B|*.b")), QStringLiteral("A (*.a);;B (*.b)"));
    // A trailing "|" adds no empty pair.
    EXPECT_EQ(QtFileFilter(QStringLiteral("Quillon|*.qjb|")), QStringLiteral("Quillon (*.qjb)"));
    // Labels that already show their pattern are not given it twice.
    EXPECT_EQ(QtFileFilter(QStringLiteral("Text file(*.txt)|*.txt")),
              QStringLiteral("Text file(*.txt)"));
    EXPECT_EQ(QtFileFilter(QStringLiteral("Pictures|*.png;*.jpg")),
              QStringLiteral("Pictures (*.png *.jpg)"));
}

TEST(FileFilterTest, BareNamesGetTheChosenExtension)
{
    const QString txt = QStringLiteral("*.txt");
    EXPECT_EQ(WithFilterExtension(QStringLiteral("/home/u/report"), txt),
              QStringLiteral("/home/u/report.txt"));
    EXPECT_EQ(WithFilterExtension(QStringLiteral("/home/u/report."), txt),
              QStringLiteral("/home/u/report.txt"));
    // A hidden-file dot is not an extension.
    EXPECT_EQ(WithFilterExtension(QStringLiteral("/home/u/.notes"), txt),
              QStringLiteral("/home/u/.notes.txt"));
    // A name with its own extension, or a folder with a dot, is left as typed.
    EXPECT_EQ(WithFilterExtension(QStringLiteral("/home/u/list.doc"), txt),
              QStringLiteral("/home/u/list.doc"));
    EXPECT_EQ(WithFilterExtension(QStringLiteral("/home/u.v/report"), QStringLiteral("*.qjb")),
              QStringLiteral("/home/u.v/report.qjb"));
    // Wildcard filters give no extension; a cancelled dialog stays empty.
    EXPECT_EQ(WithFilterExtension(QStringLiteral("/tmp/x"), QStringLiteral("*.*")),
              QStringLiteral("/tmp/x"));
    EXPECT_EQ(WithFilterExtension(QString(), txt), QString());
}
