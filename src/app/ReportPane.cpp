#include "app/ReportPane.h"

#include <QMimeData>
#include <QTextDocumentFragment>

namespace quillon {

ReportPane::ReportPane(QWidget* parent) : QTextEdit(parent) {}

std::unique_ptr<QTextDocument> ReportPane::NewDocument(const QFont& font)
{
    auto document = std::make_unique<QTextDocument>();
    document->setDefaultFont(font);
    QTextOption option = document->defaultTextOption();
    option.setWrapMode(QTextOption::NoWrap);
    document->setDefaultTextOption(option);
    document->setPageSize(QSizeF(0, 0));
    document->documentLayout();
    return document;
}

namespace {

// The text of what is pasted or dropped; a source that offers only a web page gives that
// page's text.
QString PlainTextOf(const QMimeData& source)
{
    if (source.hasText())
        return source.text();
    if (source.hasHtml())
        return QTextDocumentFragment::fromHtml(source.html()).toPlainText();
    return {};
}

} // namespace

void ReportPane::PaceLayout()
{
    m_pacer.Pace(document());
}

bool ReportPane::canInsertFromMimeData(const QMimeData* source) const
{
    return source && (source->hasText() || source->hasHtml());
}

void ReportPane::insertFromMimeData(const QMimeData* source)
{
    const QString text = source ? PlainTextOf(*source) : QString();
    if (text.isEmpty())
        return;
    // insertText takes the cursor's character format, as typing would.
    QTextCursor cursor = textCursor();
    cursor.insertText(text);
    setTextCursor(cursor);
}

} // namespace quillon
