#include "output/EditHistory.h"

#include <QCoreApplication>
#include <QFont>
#include <QPointer>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <gtest/gtest.h>

using namespace quillon;

namespace {

// Appends text to the history's document as one change, as the pane would report it.
void change(EditHistory& history, const QString& text)
{
    QTextCursor cursor(history.Current());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(text);
    history.RecordChange();
}

QString textOf(const EditHistory& history)
{
    return history.Current()->toPlainText();
}

std::unique_ptr<QTextDocument> documentWith(const QString& text)
{
    auto document = std::make_unique<QTextDocument>();
    document->setPlainText(text);
    return document;
}

} // namespace

TEST(EditHistoryTest, TenUndoStepsAtMost)
{
    EditHistory ten({});
    for (int i = 1; i <= 10; ++i)
        change(ten, QString::number(i % 10));
    for (int i = 0; i < 10; ++i)
        EXPECT_TRUE(ten.Undo());
    EXPECT_EQ(textOf(ten), QString()); // the empty state of slot 0
    EXPECT_FALSE(ten.Undo());

    EditHistory twelve({});
    for (int i = 1; i <= 12; ++i)
        change(twelve, QStringLiteral("%1,").arg(i));
    EXPECT_EQ(twelve.Position(), 10);
    EXPECT_FALSE(twelve.Redo()); // nothing newer
    for (int i = 0; i < 10; ++i)
        EXPECT_TRUE(twelve.Undo());
    EXPECT_EQ(textOf(twelve), QStringLiteral("1,2,")); // the state after change 2
    EXPECT_FALSE(twelve.Undo());
    for (int i = 0; i < 10; ++i)
        EXPECT_TRUE(twelve.Redo());
    EXPECT_EQ(textOf(twelve), QStringLiteral("1,2,3,4,5,6,7,8,9,10,11,12,"));
}

TEST(EditHistoryTest, ChangeAfterUndoEndsTheRedoLineAndTypingIsNotMerged)
{
    EditHistory history({});
    // Characters typed one after another are separate changes, not one merged step.
    change(history, QStringLiteral("a"));
    change(history, QStringLiteral("b"));
    change(history, QStringLiteral("c"));
    history.Undo();
    EXPECT_EQ(textOf(history), QStringLiteral("ab"));
    history.Undo();
    change(history, QStringLiteral("x"));
    EXPECT_EQ(textOf(history), QStringLiteral("ax"));
    EXPECT_FALSE(history.Redo());
    EXPECT_TRUE(history.Undo());
    EXPECT_EQ(textOf(history), QStringLiteral("a"));
    EXPECT_TRUE(history.Redo());
    EXPECT_EQ(textOf(history), QStringLiteral("ax"));

    // Undo and Redo write back without recording themselves.
    EXPECT_EQ(history.Position(), 2);
    EXPECT_FALSE(history.CaptureSuppressed());
}

TEST(EditHistoryTest, EarlierDocumentsAreKeptCompactAndTenStepsReachBack)
{
    QTextDocument* shown = nullptr;
    EditHistory history([&](QTextDocument* document) { shown = document; });
    change(history, QStringLiteral("typed"));
    QTextCursor bold(history.Current());
    bold.movePosition(QTextCursor::End);
    QTextCharFormat format;
    format.setFontWeight(QFont::Bold);
    bold.insertText(QStringLiteral("!"), format);
    history.RecordChange();

    history.ReplaceDocument(documentWith(QStringLiteral("report one")));
    EXPECT_EQ(shown, history.Current());
    change(history, QStringLiteral(" edited"));
    EXPECT_EQ(history.DocumentCount(), 1); // the typed document went, kept compact
    EXPECT_GT(history.CompactSize(), 0);
    EXPECT_TRUE(history.Undo());
    EXPECT_TRUE(history.Undo());
    EXPECT_EQ(textOf(history), QStringLiteral("typed!"));
    // formatting comes back with the text
    EXPECT_EQ(history.Current()->lastBlock().begin().fragment().charFormat().fontWeight(),
              QFont::Normal);
    QTextCursor last(history.Current());
    last.movePosition(QTextCursor::End);
    EXPECT_EQ(last.charFormat().fontWeight(), QFont::Bold);
    EXPECT_TRUE(history.Undo());
    EXPECT_EQ(textOf(history), QStringLiteral("typed"));
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(history.Redo());
    EXPECT_EQ(textOf(history), QStringLiteral("report one edited"));
    EXPECT_EQ(history.DocumentCount(), 1);

    // Eleven reports: ten Undo steps reach back through ten of them, one whole document held.
    for (int i = 0; i < 11; ++i)
        history.ReplaceDocument(documentWith(QStringLiteral("report %1").arg(i)));
    EXPECT_EQ(history.DocumentCount(), 1);
    int undone = 0;
    while (history.Undo())
        ++undone;
    EXPECT_EQ(undone, 10);
    EXPECT_EQ(textOf(history), QStringLiteral("report 0"));
    while (history.Redo()) {
    }
    EXPECT_EQ(textOf(history), QStringLiteral("report 10"));
}

TEST(EditHistoryTest, ALargeDocumentLetGoIsTakenApartThenDeletedAndItsStateKept)
{
    EditHistory history([](QTextDocument*) {});
    QString lines;
    for (int i = 0; i < 5000; ++i)
        lines += QStringLiteral("line %1\n").arg(i);
    history.ReplaceDocument(documentWith(lines));
    const QPointer<QTextDocument> large = history.Current();
    history.ReplaceDocument(documentWith(QStringLiteral("next")));
    EXPECT_EQ(history.DocumentCount(), 1);
    EXPECT_EQ(history.RetiringCount(), 1);
    for (int i = 0; i < 1000 && large; ++i)
        QCoreApplication::processEvents();
    EXPECT_TRUE(large.isNull());
    EXPECT_EQ(history.RetiringCount(), 0);
    EXPECT_TRUE(history.Undo());
    EXPECT_EQ(textOf(history), lines);
}
