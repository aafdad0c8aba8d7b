#pragma once

#include <QString>
#include <QTextCursor>
#include <functional>

class QTextDocument;

namespace quillon {

/// How a search matches: whole words only, and whether case counts.
struct FindOptions {
    bool matchCase = false;
    bool wholeWord = false;
};

/// Find and replace over a document, searching forwards from one character after the start of
/// the last match. A search that finds nothing forgets the last match, so the next one starts
/// at the top again; a search never wraps round by itself.
class FindReplace {
public:
    /// Longest stretch of replacements between two yields: a time, and a count.
    static constexpr int kSliceMs = 15;
    static constexpr int kSliceReplacements = 1000;

    /// The document must outlive this object.
    explicit FindReplace(QTextDocument* document);

    void SetOptions(const FindOptions& options) { m_options = options; }

    /// Searches for what from the last match on. Returns the match selected, or a null cursor
    /// when there is none (or what is empty, which changes nothing).
    QTextCursor FindNext(const QString& what);

    /// Replaces selection by with when the selected text is a match for what, then searches
    /// on after the inserted text. Returns the next match, or a null cursor.
    QTextCursor Replace(const QTextCursor& selection, const QString& what, const QString& with);

    /// Replaces every match in the whole document, going on after each inserted text, so a
    /// replacement that holds the searched text ends too. yield runs between slices of
    /// replacements (each at most kSliceMs and kSliceReplacements); Stop() (from inside yield) ends
    /// the run there. All replacements form one undo step. Returns the number of replacements made.
    int ReplaceAll(const QString& what, const QString& with, const std::function<void()>& yield);

    /// Asks a running ReplaceAll to end before its next replacement.
    void Stop() { m_stop = true; }
    bool Stopped() const { return m_stop; }

    /// Whether the selected text of cursor is a match for what under the options.
    bool IsMatch(const QTextCursor& cursor, const QString& what) const;

    // Test and benchmark probes, not used by the program itself.
    const FindOptions& Options() const { return m_options; }

    /// The index at which the last search found its text, or -1 (also at the start).
    int LastMatch() const { return m_lastMatch; }

private:
    QTextCursor Search(const QString& what, int from);

    QTextDocument* m_document;
    FindOptions m_options;
    int m_lastMatch = -1;
    bool m_stop = false;
};

} // namespace quillon
