#include "output/HtmlExport.h"

#include "output/MakerInfo.h"
#include "platform/CheckedSave.h"
#include "platform/Cp1252.h"
#include "report/RtfFraming.h"

#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace quillon {

namespace {

// Style sheet text in the page's code page. A character the code page lacks is written as a
// CSS escape, which names it exactly whatever the page's encoding.
QByteArray StyleText(const QString& text)
{
    QByteArray out;
    for (char32_t c : text.toUcs4()) {
        if (c == U'&') {
            out += "&amp;";
        } else if (const int byte = UnicodeToCp1252(c); byte >= 0 && (c < 0x80 || c >= 0xA0)) {
            out += static_cast<char>(byte);
        } else {
            out += '\\' + QByteArray::number(static_cast<uint>(c), 16).toUpper() + ' ';
        }
    }
    return out;
}

// The piece of length len from the 1-based position pos; a negative length or a start past
// the end gives the empty piece.
QByteArrayView Piece(QByteArrayView line, qsizetype pos, qsizetype len)
{
    const qsizetype start = pos - 1;
    if (len <= 0 || start < 0 || start >= line.size())
        return {};
    return line.sliced(start, std::min(len, line.size() - start));
}

} // namespace

QByteArray HtmlText(QByteArrayView text, bool unicode)
{
    QByteArray out;
    out.reserve(text.size() + text.size() / 2);
    char16_t high = 0; // a high surrogate waiting for its pair
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\' && i + 1 < text.size() &&
            (text[i + 1] == '\\' || text[i + 1] == '{' || text[i + 1] == '}')) {
            out += text[++i];
        } else if (unicode && c == '\\' && i + 2 < text.size() && text[i + 1] == 'u' &&
                   (text[i + 2] == '-' || (text[i + 2] >= '0' && text[i + 2] <= '9'))) {
            qsizetype end = i + 3;
            while (end < text.size() && text[end] >= '0' && text[end] <= '9' && end - i < 9)
                ++end;
            const int value = text.sliced(i + 2, end - i - 2).toInt();
            const auto unit = static_cast<char16_t>(value < 0 ? value + 65536 : value);
            i = end < text.size() && text[end] == '?' ? end : end - 1; // the "?" fallback goes
            if (QChar::isHighSurrogate(unit)) {
                high = unit;
                continue;
            }
            const QString character = high && QChar::isLowSurrogate(unit)
                                          ? QString(QChar(high)) + QChar(unit)
                                          : QString(QChar(unit));
            high = 0;
            out += character.toHtmlEscaped().toUtf8();
        } else if (c == ' ') {
            out += "&nbsp;";
        } else if (c == '&') {
            out += "&amp;";
        } else if (unicode && static_cast<unsigned char>(c) >= 0x80) {
            out += QString(QChar(Cp1252ToUnicode(static_cast<unsigned char>(c)))).toUtf8();
        } else {
            out += c;
        }
    }
    return out;
}

namespace {

// A separator line of List In Details: dashes only, alone or closing with "\par\par" (with or
// without a blank before it). A file line that merely starts with dashes ("------x") is not one.
std::optional<QByteArrayView> SeparatorDashes(QByteArrayView line, bool* closesParagraph)
{
    *closesParagraph = false;
    for (const char* end : {" \\par\\par", "\\par\\par"}) {
        if (line.endsWith(end)) {
            line.chop(qsizetype(std::strlen(end)));
            *closesParagraph = true;
            break;
        }
    }
    if (line.size() < 6 || !std::all_of(line.begin(), line.end(), [](char c) { return c == '-'; }))
        return std::nullopt;
    return line;
}

} // namespace

bool StagingHoldsUnicode(QIODevice& staging)
{
    // A "\\u" and a number, where the backslash is not itself escaped; line by line, since a
    // report may be large.
    while (!staging.atEnd()) {
        const QByteArray line = staging.readLine();
        if (line.isEmpty())
            return false;
        for (qsizetype i = line.indexOf("\\u"); i >= 0; i = line.indexOf("\\u", i + 1)) {
            qsizetype slashes = 0;
            while (i - slashes - 1 >= 0 && line[i - slashes - 1] == '\\')
                ++slashes;
            if (slashes % 2 == 0 && i + 2 < line.size() &&
                (line[i + 2] == '-' || (line[i + 2] >= '0' && line[i + 2] <= '9')))
                return true;
        }
    }
    return false;
}

std::optional<QByteArray> HtmlLineFor(QByteArrayView line, bool headerLine, bool closingLine,
                                      bool unicode)
{
    const auto HtmlText = [unicode](QByteArrayView text) {
        return quillon::HtmlText(text, unicode);
    };
    const qsizetype n = line.size();
    // A line break in the report's source is no line of the report (the folder list puts an
    // empty one after each folder).
    if (line.isEmpty())
        return std::nullopt;
    bool closesParagraph = false;
    if (const auto dashes = SeparatorDashes(line, &closesParagraph))
        return HtmlText(*dashes) + (closesParagraph ? "<br><br>" : "<br>");
    if (line.startsWith("\\par\\b Total Summary:"))
        return QByteArray("<br><b>Total Summary:</b><br>");
    if (line.startsWith("\\b\\par"))
        return "<div class='dir'>" + HtmlText(Piece(line, 8, n - 14)) + "</div>";
    if (line.startsWith("\\par -"))
        return HtmlText(Piece(line, 6, n - 5)) + "<br>";
    if (line.startsWith("\\par"))
        return HtmlText(Piece(line, 6, n - 10)) + "<br>";
    // Only the document's own frame is dropped; an escaped "}" in a name is ordinary text.
    if (headerLine && line.startsWith("{\\rtf"))
        return std::nullopt;
    if (closingLine && line.trimmed().endsWith("}") && !line.trimmed().endsWith("\\}"))
        return std::nullopt;
    // Most layouts end a line with "\par ", the folder list with "\par".
    QByteArrayView body = line;
    if (body.endsWith("\\par "))
        body.chop(5);
    else if (body.endsWith("\\par"))
        body.chop(4);
    return HtmlText(body) + "<br>";
}

QList<QByteArray> HtmlPageHeader(const QString& fontName, const QString& fontSize, bool unicode)
{
    if (unicode) {
        // The same lines as UTF-8, the first one declaring it.
        QList<QByteArray> lines = HtmlPageHeader(fontName, fontSize, false);
        for (QByteArray& line : lines)
            line = DecodeCp1252(line).toUtf8();
        lines.front().replace("<html><head>", "<html><head><meta charset=\"utf-8\">");
        return lines;
    }
    const QByteArray font = StyleText(SafeFontName(fontName));
    const QByteArray size = StyleText(SafeFontName(fontSize));
    const QByteArray address(kMakerWebAddress);
    const QByteArray style = "{ font-family: " + font + "; font-size: " + size + "pt";
    return {
        "<html><head><title>Quillon - " + address + "</title>",
        "<style>",
        "<!--",
        ".dir  " + style + "; font-weight: bold }",
        ".sum  " + style + "; color:#800000 }",
        ".file " + style + " }",
        "--></style>",
        "</head><body class=\"file\" nowrap>",
        "<b><font size= 5 >Quillon</font><br>",
        "<a href=\"" + address + "\">" + address + "</a></b><hr><br>",
    };
}

HtmlExport::HtmlExport(QString stagingPath, QString pagePath)
    : m_stagingPath(std::move(stagingPath)), m_pagePath(std::move(pagePath))
{}

void HtmlExport::setFont(const QString& name, const QString& sizeText)
{
    m_fontName = name;
    m_fontSize = sizeText;
}

void HtmlExport::setProgress(std::function<void(int, int)> progress, int maximum)
{
    m_progress = std::move(progress);
    m_maximum = maximum;
}

void HtmlExport::setYield(std::function<void()> yield)
{
    m_yield = std::move(yield);
}

namespace {

// A line and its CR LF; written stays false after the first failed write.
void WriteLine(QSaveFile& page, const QByteArray& text, bool& written)
{
    written = written && page.write(text) == text.size() && page.write("\r\n", 2) == 2;
}

} // namespace

bool HtmlExport::run()
{
    m_cancel = false;
    m_abandon = false;
    m_error.clear();
    m_linesRead = 0;

    QSaveFile page(m_pagePath);
    QString refused;
    if (!OpenForReplace(page, &refused)) {
        m_error = QStringLiteral("Cannot write %1: %2").arg(m_pagePath, refused);
        return false;
    }
    QFile staging(m_stagingPath);
    if (!staging.open(QIODevice::ReadOnly))
        return stagingUnreadable(staging, page);

    // Names kept whole (\\u escapes) make a UTF-8 page; otherwise the page is the staging
    // file's own code page, as it always was.
    const bool unicode = StagingHoldsUnicode(staging);
    if (!staging.seek(0))
        return stagingUnreadable(staging, page);
    bool written = true;
    for (const QByteArray& line : HtmlPageHeader(m_fontName, m_fontSize, unicode))
        WriteLine(page, line, written);
    if (!copyLines(staging, page, unicode, written))
        return false;

    QString reason;
    if (!written) {
        reason = WriteFailureReason(page, errno);
        page.cancelWriting();
    }
    if (!written || !CommitChecked(page, &reason)) {
        m_error = QStringLiteral("Cannot write %1: %2").arg(m_pagePath, reason);
        return false;
    }
    return true;
}

bool HtmlExport::stagingUnreadable(const QFile& staging, QSaveFile& page)
{
    m_error =
        QStringLiteral("Cannot read the report %1: %2").arg(m_stagingPath, staging.errorString());
    page.cancelWriting();
    return false;
}

// The staging lines as the page's lines, until the end, a cancel or a failed write; false
// (the page dropped) when the export was stopped or the staging file could not be read.
bool HtmlExport::copyLines(QFile& staging, QSaveFile& page, bool unicode, bool& written)
{
    int value = 1;
    if (m_progress)
        m_progress(value, m_maximum);
    while (written && !staging.atEnd()) {
        if (m_yield)
            m_yield();
        if (value < m_maximum)
            ++value;
        if (m_progress)
            m_progress(value, m_maximum);
        if (m_abandon) {
            m_error = QStringLiteral("%1 was not written: stopped").arg(m_pagePath);
            page.cancelWriting();
            return false;
        }
        if (m_cancel)
            break;
        QByteArray line = staging.readLine();
        if (line.isEmpty())
            return stagingUnreadable(staging, page);
        ++m_linesRead;
        if (line.endsWith('\n'))
            line.chop(1);
        if (line.endsWith('\r'))
            line.chop(1);
        if (const auto html = HtmlLineFor(line, m_linesRead == 1, staging.atEnd(), unicode))
            WriteLine(page, *html, written);
    }
    return true;
}

} // namespace quillon
