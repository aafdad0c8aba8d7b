#include "output/FindReplace.h"

#include <QElapsedTimer>
#include <QTextDocument>

namespace quillon {

FindReplace::FindReplace(QTextDocument* document) : m_document(document) {}

QTextCursor FindReplace::Search(const QString& what, int from)
{
    QTextDocument::FindFlags flags;
    if (m_options.matchCase)
        flags |= QTextDocument::FindCaseSensitively;
    if (m_options.wholeWord)
        flags |= QTextDocument::FindWholeWords;
    QTextCursor found;
    if (from < m_document->characterCount())
        found = m_document->find(what, std::max(0, from), flags);
    m_lastMatch = found.isNull() ? -1 : found.selectionStart();
    return found;
}

QTextCursor FindReplace::FindNext(const QString& what)
{
    if (what.isEmpty())
        return {};
    return Search(what, m_lastMatch + 1);
}

bool FindReplace::IsMatch(const QTextCursor& cursor, const QString& what) const
{
    if (cursor.isNull() || !cursor.hasSelection() || what.isEmpty())
        return false;
    const QString selected = cursor.selectedText();
    const Qt::CaseSensitivity cs = m_options.matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    if (selected.compare(what, cs) != 0)
        return false;
    if (!m_options.wholeWord)
        return true;
    // The same text found with the same options at the selection's start is a match.
    QTextDocument::FindFlags flags = QTextDocument::FindWholeWords;
    if (m_options.matchCase)
        flags |= QTextDocument::FindCaseSensitively;
    const QTextCursor again = m_document->find(what, cursor.selectionStart(), flags);
    return !again.isNull() && again.selectionStart() == cursor.selectionStart();
}

QTextCursor FindReplace::Replace(const QTextCursor& selection, const QString& what,
                                 const QString& with)
{
    if (what.isEmpty())
        return {};
    // Only a match is replaced: a selection the user made elsewhere is left alone.
    if (IsMatch(selection, what)) {
        QTextCursor edit(selection);
        const int start = edit.selectionStart();
        edit.insertText(with);
        m_lastMatch = start + int(with.size()) - 1;
    }
    return FindNext(what);
}

int FindReplace::ReplaceAll(const QString& what, const QString& with,
                            const std::function<void()>& yield)
{
    m_stop = false;
    if (what.isEmpty())
        return 0;
    int count = 0;
    QTextCursor match = Search(what, 0);
    QElapsedTimer slice;
    while (!match.isNull() && !m_stop) {
        // The replacements go in slices of a few milliseconds, each slice one edit block joined
        // to the first: the pane lays out the changed lines once per slice instead of once per
        // replacement, the events (Cancel, repaints) run between slices, and the whole run is
        // still one undo step.
        if (count == 0)
            match.beginEditBlock();
        else
            match.joinPreviousEditBlock();
        QTextCursor block = match;
        slice.start();
        for (int inSlice = 0; !match.isNull() && inSlice < kSliceReplacements &&
                              (inSlice == 0 || slice.elapsed() < kSliceMs);
             ++inSlice) {
            const int start = match.selectionStart();
            match.insertText(with);
            ++count;
            match = Search(what, start + int(with.size()));
        }
        block.endEditBlock();
        if (yield)
            yield();
    }
    return count;
}

} // namespace quillon
