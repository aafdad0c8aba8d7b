#include "rtf/RtfPlainTextWriter.h"

namespace quillon {

namespace {

constexpr qsizetype kFlushSize = 64 * 1024;

} // namespace

RtfPlainTextWriter::RtfPlainTextWriter(QIODevice& out) : m_out(out) {}

void RtfPlainTextWriter::text(QStringView text, const RtfCharFormat& format)
{
    (void)format;
    // Runs are appended whole; only the two characters plain text spells differently are
    // mended afterwards, so a long report is not copied one character at a time.
    const qsizetype start = m_text.size();
    m_text.append(text);
    QChar* data = m_text.data();
    for (qsizetype i = start, end = m_text.size(); i < end; ++i) {
        if (data[i] == QChar::LineSeparator)
            data[i] = u'\n';
        else if (data[i] == QChar::Nbsp)
            data[i] = u' ';
    }
    if (m_text.size() >= kFlushSize)
        flush();
}

void RtfPlainTextWriter::paragraphEnd(const RtfParagraphFormat& format, const RtfCharFormat& mark)
{
    (void)format;
    (void)mark;
    m_text.append(u'\n');
    if (m_text.size() >= kFlushSize)
        flush();
}

void RtfPlainTextWriter::end()
{
    flush(true);
}

void RtfPlainTextWriter::flush(bool final)
{
    // Keep a high surrogate back until its partner comes, so that the pair is encoded whole.
    qsizetype length = m_text.size();
    if (!final && length > 0 && m_text.at(length - 1).isHighSurrogate())
        --length;
    m_bytes.append(QStringView(m_text).left(length).toUtf8());
    m_text.remove(0, length);
    if (final || m_bytes.size() >= kFlushSize) {
        if (!m_failed && m_out.write(m_bytes) != m_bytes.size())
            m_failed = true;
        m_bytes.clear();
    }
}

} // namespace quillon
