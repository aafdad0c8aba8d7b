#include "rtf/RtfPlainTextWriter.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace quillon {

namespace {

constexpr qsizetype kFlushSize = 64 * 1024;

// Appends text to out as bytes and returns true when it is all ASCII; else leaves out as it
// was. ASCII needs no mending and is its own UTF-8: most of any report.
bool AppendIfAscii(QByteArray& out, QStringView text)
{
    const char16_t* chars = text.utf16();
    const qsizetype count = text.size();
    const qsizetype start = out.size();
    out.resize(start + count);
    char* bytes = out.data() + start;
    qsizetype i = 0;
#if defined(__SSE2__)
    // Sixteen characters at a time: none above 0x7F, then packed to bytes.
    const __m128i high = _mm_set1_epi16(static_cast<short>(0xFF80));
    for (; i + 16 <= count; i += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(chars + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(chars + i + 8));
        const __m128i over = _mm_and_si128(_mm_or_si128(a, b), high);
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(over, _mm_setzero_si128())) != 0xFFFF) {
            out.resize(start);
            return false;
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(bytes + i), _mm_packus_epi16(a, b));
    }
#endif
    for (; i < count; ++i) {
        if (chars[i] >= 0x80) {
            out.resize(start);
            return false;
        }
        bytes[i] = static_cast<char>(chars[i]);
    }
    return true;
}

} // namespace

RtfPlainTextWriter::RtfPlainTextWriter(QIODevice& out) : m_out(out) {}

void RtfPlainTextWriter::text(QStringView text, const RtfCharFormat& format)
{
    (void)format;
    // Nothing held back: the run can go straight to the bytes.
    if (m_text.isEmpty() && AppendIfAscii(m_bytes, text)) {
        if (m_bytes.size() >= kFlushSize)
            flush();
        return;
    }
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
    flush(); // into the bytes at once, so that the next ASCII run may follow them there
}

void RtfPlainTextWriter::paragraphEnd(const RtfParagraphFormat& format, const RtfCharFormat& mark)
{
    (void)format;
    (void)mark;
    if (m_text.isEmpty()) {
        m_bytes.append('\n');
        if (m_bytes.size() >= kFlushSize)
            flush();
        return;
    }
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
