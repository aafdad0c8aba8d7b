#include "output/FindReplace.h"

#include <QTextCursor>
#include <QTextDocument>
#include <gtest/gtest.h>

using namespace quillon;

namespace {

QTextCursor select(QTextDocument& document, int start, int length)
{
    QTextCursor cursor(&document);
    cursor.setPosition(start);
    cursor.setPosition(start + length, QTextCursor::KeepAnchor);
    return cursor;
}

} // namespace

TEST(FindReplaceTest, MatchingOptions)
{
    QTextDocument document(QStringLiteral("catalog\nREADME.TXT\nlog"));
    FindReplace search(&document);

    search.SetOptions({false, true});
    const QTextCursor word = search.FindNext(QStringLiteral("log"));
    ASSERT_FALSE(word.isNull());
    EXPECT_EQ(word.selectionStart(), 19); // not the "log" inside "catalog"

    FindReplace anyCase(&document);
    const QTextCursor readme = anyCase.FindNext(QStringLiteral("readme"));
    ASSERT_FALSE(readme.isNull());
    EXPECT_EQ(readme.selectedText(), QStringLiteral("README"));

    FindReplace exactCase(&document);
    exactCase.SetOptions({true, false});
    EXPECT_TRUE(exactCase.FindNext(QStringLiteral("readme")).isNull());
    EXPECT_EQ(exactCase.LastMatch(), -1);
}

TEST(FindReplaceTest, FindNextWalksOnAndStartsOverAfterNotFound)
{
    QTextDocument document(QStringLiteral("aXa aXa"));
    FindReplace search(&document);
    EXPECT_TRUE(search.FindNext(QString()).isNull()); // empty text: nothing, no hang

    // A match at the very start is found on the first search.
    EXPECT_EQ(search.FindNext(QStringLiteral("axa")).selectionStart(), 0);
    EXPECT_EQ(search.FindNext(QStringLiteral("axa")).selectionStart(), 4);
    EXPECT_TRUE(search.FindNext(QStringLiteral("axa")).isNull());          // no wrap by itself
    EXPECT_EQ(search.FindNext(QStringLiteral("axa")).selectionStart(), 0); // top again

    // Overlapping matches: the next search starts one after the last match's start.
    QTextDocument runs(QStringLiteral("aaa"));
    FindReplace overlap(&runs);
    EXPECT_EQ(overlap.FindNext(QStringLiteral("aa")).selectionStart(), 0);
    EXPECT_EQ(overlap.FindNext(QStringLiteral("aa")).selectionStart(), 1);
}

TEST(FindReplaceTest, ReplaceChangesOnlyAMatch)
{
    QTextDocument document(QStringLiteral("one two one"));
    FindReplace search(&document);

    // A selection that is not a match stays; the search only moves to the next match.
    QTextCursor next =
        search.Replace(select(document, 4, 3), QStringLiteral("one"), QStringLiteral("1"));
    EXPECT_EQ(document.toPlainText(), QStringLiteral("one two one"));
    ASSERT_FALSE(next.isNull());
    EXPECT_EQ(next.selectionStart(), 0);

    // No selection at all: nothing replaced either.
    next = search.Replace(QTextCursor(&document), QStringLiteral("one"), QStringLiteral("1"));
    EXPECT_EQ(document.toPlainText(), QStringLiteral("one two one"));
    EXPECT_EQ(next.selectionStart(), 8);

    // The match selected is replaced, and the search goes on after the inserted text.
    next = search.Replace(next, QStringLiteral("ONE"), QStringLiteral("one one"));
    EXPECT_EQ(document.toPlainText(), QStringLiteral("one two one one"));
    EXPECT_TRUE(next.isNull());
}

TEST(FindReplaceTest, ReplaceAllCoversEverythingAndEnds)
{
    QTextDocument document(QStringLiteral("a cat sat on a mat"));
    FindReplace search(&document);
    search.FindNext(QStringLiteral("mat")); // a last match does not narrow Replace All
    int yields = 0;
    // The replacement holds the searched text after its first character.
    EXPECT_EQ(search.ReplaceAll(QStringLiteral("a"), QStringLiteral("ba"), [&] { ++yields; }), 5);
    EXPECT_EQ(document.toPlainText(), QStringLiteral("ba cbat sbat on ba mbat"));
    EXPECT_EQ(yields, 1); // once per slice of replacements, not per replacement

    // Whole words with case: only the exact word.
    QTextDocument words(QStringLiteral("Log log catalog LOG log"));
    FindReplace exact(&words);
    exact.SetOptions({true, true});
    EXPECT_EQ(exact.ReplaceAll(QStringLiteral("log"), QString(), {}), 2);
    EXPECT_EQ(words.toPlainText(), QStringLiteral("Log  catalog LOG "));

    EXPECT_EQ(exact.ReplaceAll(QString(), QStringLiteral("x"), {}), 0);
    EXPECT_EQ(exact.ReplaceAll(QStringLiteral("absent"), QStringLiteral("x"), {}), 0);
}

TEST(FindReplaceTest, ReplaceAllStopsAndUndoesAsOneStep)
{
    const int total = 3 * FindReplace::kSliceReplacements;
    const QString text = QStringLiteral("x ").repeated(total);
    QTextDocument document(text);
    document.setUndoRedoEnabled(true);
    FindReplace search(&document);
    int yields = 0;
    const int count = search.ReplaceAll(QStringLiteral("x"), QStringLiteral("y"), [&] {
        if (++yields == 2)
            search.Stop();
    });
    // Stopped after two slices, each of at least one replacement.
    EXPECT_GE(count, 2);
    EXPECT_LE(count, 2 * FindReplace::kSliceReplacements);
    EXPECT_EQ(document.toPlainText().count(QLatin1Char('y')), count);
    EXPECT_TRUE(search.Stopped());

    document.undo();
    EXPECT_EQ(document.toPlainText(), text);
    // A new run clears the stop flag.
    EXPECT_EQ(search.ReplaceAll(QStringLiteral("x"), QStringLiteral("y"), {}), total);
}
