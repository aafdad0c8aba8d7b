#include "platform/RtfPlainTextWriter.h"

namespace quillon {

namespace {

constexpr qsizetype kFlushSize = 64 * 1024;

} // namespace

RtfPlainTextWriter::RtfPlainTextWriter(QIODevice& out) : m_out(out) {}

void RtfPlainTextWriter::text(QStringView text, const RtfCharFormat& format)
{
    (void)format;
    for (const QChar ch : text) {
        if (ch == QChar::LineSeparator)
            m_text.append(u'\n');
        else if (ch == QChar::Nbsp)
            m_text.append(u' ');
        else
            m_text.append(ch);
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
