#include "platform/PlainIniFormat.h"
#include "platform/HexDigit.h"

#include "platform/BoundedRead.h"
#include "platform/Utf8Text.h"

#include <QFileDevice>
#include <algorithm>
#include <map>

namespace quillon {

namespace {

// "%20" and "%U00E9" as QSettings escapes names; "\" stands for "/".
QString UnescapedName(QByteArrayView text)
{
    QString name;
    QByteArray raw;
    const auto flush = [&] {
        name += QString::fromUtf8(raw);
        raw.clear();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\\') {
            raw += '/';
        } else if (c == '%' && i + 2 < text.size() + 0 && text[i + 1] == 'U' &&
                   i + 5 < text.size() && HexDigitValue(text[i + 2]) >= 0 &&
                   HexDigitValue(text[i + 3]) >= 0 && HexDigitValue(text[i + 4]) >= 0 &&
                   HexDigitValue(text[i + 5]) >= 0) {
            flush();
            name += QChar(static_cast<char16_t>(
                HexDigitValue(text[i + 2]) << 12 | HexDigitValue(text[i + 3]) << 8 |
                HexDigitValue(text[i + 4]) << 4 | HexDigitValue(text[i + 5])));
            i += 5;
        } else if (c == '%' && i + 2 < text.size() && HexDigitValue(text[i + 1]) >= 0 &&
                   HexDigitValue(text[i + 2]) >= 0) {
            flush();
            name += QChar(static_cast<char16_t>(HexDigitValue(text[i + 1]) << 4 |
                                                HexDigitValue(text[i + 2])));
            i += 2;
        } else {
            raw += c;
        }
    }
    flush();
    return name;
}

QByteArray EscapedName(QStringView name)
{
    QByteArray text;
    for (const QChar qc : name) {
        const char16_t c = qc.unicode();
        if (c == u'/') {
            text += '\\';
        } else if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') ||
                   (c >= u'0' && c <= u'9') || c == u'_' || c == u'-' || c == u'.') {
            text += static_cast<char>(c);
        } else if (c <= 0xFF) {
            text += '%';
            text += QByteArray::number(c, 16).rightJustified(2, '0').toUpper();
        } else {
            text += "%U";
            text += QByteArray::number(c, 16).rightJustified(4, '0').toUpper();
        }
    }
    return text;
}

// The control character of a letter escape (\a \b \f \n \r \t \v), else 0.
char LetterEscape(char e)
{
    switch (e) {
    case 'a':
        return '\a';
    case 'b':
        return '\b';
    case 'f':
        return '\f';
    case 'n':
        return '\n';
    case 'r':
        return '\r';
    case 't':
        return '\t';
    case 'v':
        return '\v';
    default:
        return 0;
    }
}

// The character of a \x (up to 4 hex digits) or an octal (up to 3 digits) escape whose letter
// is at text[i]; i moves onto its last digit. False for any other escape.
bool CodeEscape(QByteArrayView text, qsizetype& i, char16_t& code)
{
    const char e = text[i];
    if (e == 'x') {
        char32_t hex = 0;
        for (int digits = 0; i + 1 < text.size() && HexDigitValue(text[i + 1]) >= 0 && digits < 4;
             ++digits)
            hex = hex << 4 | static_cast<char32_t>(HexDigitValue(text[++i]));
        code = static_cast<char16_t>(hex);
        return true;
    }
    if (e < '0' || e > '7')
        return false;
    code = static_cast<char16_t>(e - '0');
    for (int digits = 1;
         digits < 3 && i + 1 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '7'; ++digits)
        code = static_cast<char16_t>(code << 3 | (text[++i] - '0'));
    return true;
}

// A value as written: quotes group text, escapes as C has them; commas are kept as written.
QString UnescapedValue(QByteArrayView text)
{
    QString value;
    QByteArray raw;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"')
            continue;
        if (c != '\\' || i + 1 == text.size()) {
            raw += c;
            continue;
        }
        const char e = text[++i];
        char16_t code = 0;
        if (const char control = LetterEscape(e)) {
            raw += control;
        } else if (CodeEscape(text, i, code)) {
            value += Utf8Text(raw);
            raw.clear();
            value += QChar(code);
        } else {
            raw += e; // \" \\ \' \? and anything else stand for themselves
        }
    }
    value += Utf8Text(raw);
    // A text that begins with "@" is written with one more, inside any quotes.
    if (value.startsWith(QLatin1String("@@")))
        value.remove(0, 1);
    return value;
}

QByteArray EscapedValue(const QString& value)
{
    QByteArray text;
    if (value.startsWith(QLatin1Char('@')))
        text += '@';
    bool quote = false;
    bool escapeHex = false;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const char16_t c = value[i].unicode();
        if (c == u';' || c == u',' || c == u'=' || c == u'"' || c == u'#')
            quote = true;
        // A character beyond the first plane is two QChars and one UTF-8 sequence; a half of
        // such a pair on its own has no UTF-8 form and is written as its number.
        const bool pair =
            QChar::isHighSurrogate(c) && i + 1 < value.size() && value[i + 1].isLowSurrogate();
        if (c < 0x20 || c == 0x7F || (QChar::isSurrogate(c) && !pair) ||
            (escapeHex && c < 0x80 && HexDigitValue(static_cast<char>(c)) >= 0)) {
            text += "\\x";
            text += QByteArray::number(c, 16);
            escapeHex = true;
            continue;
        }
        escapeHex = false;
        if (c == u'\\' || c == u'"') {
            text += '\\';
            text += static_cast<char>(c);
        } else {
            text += QStringView(value).sliced(i, pair ? 2 : 1).toUtf8();
            i += pair ? 1 : 0;
        }
    }
    if (quote || value.startsWith(QLatin1Char(' ')) || value.endsWith(QLatin1Char(' ')))
        return '"' + text + '"';
    return text;
}

// A key as QSettings keeps it: "/" between groups, never at either end or twice in a row.
QString NormalizedKey(const QString& key)
{
    return key.split(QLatin1Char('/'), Qt::SkipEmptyParts).join(QLatin1Char('/'));
}

// "[General]" holds the keys outside any group, so a group that is itself named "General"
// is written "[%General]", as QSettings writes it.
bool IsGeneral(QStringView name)
{
    return name.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0;
}

QString SectionName(QByteArrayView text)
{
    if (text.startsWith('%') && IsGeneral(QString::fromLatin1(text.sliced(1))))
        return QString::fromLatin1(text.sliced(1));
    const QString section = UnescapedName(text);
    return IsGeneral(section) ? QString() : section;
}

bool ReadPlainIni(QIODevice& device, QSettings::SettingsMap& map)
{
    // Only as much as a settings file may hold is ever read, and no buffer of that limit is
    // made for a file of a few hundred bytes (read() allocates what it is asked for). A file
    // past the limit (it grew since the store looked) is not taken, and QSettings keeps it.
    const qint64 wanted = device.isSequential()
                              ? kSettingsFileLimit + 1
                              : std::min<qint64>(device.size(), kSettingsFileLimit + 1);
    const QByteArray text = device.read(wanted);
    if (text.size() > kSettingsFileLimit)
        return false;
    ParsePlainIni(text, map);
    return true;
}

bool WritePlainIni(QIODevice& device, const QSettings::SettingsMap& map)
{
    const QByteArray text = PlainIniText(map);
    if (device.write(text) != text.size())
        return false;
    // QSettings commits its save file without looking at the last buffered bytes.
    if (auto* file = qobject_cast<QFileDevice*>(&device))
        return file->flush() && file->error() == QFileDevice::NoError;
    return true;
}

} // namespace

void ParsePlainIni(QByteArrayView text, QSettings::SettingsMap& map)
{
    QString section;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = text.indexOf('\n', start);
        if (end < 0)
            end = text.size();
        QByteArrayView line = text.sliced(start, end - start).trimmed();
        start = end + 1;
        if (line.isEmpty() || line.startsWith(';') || line.startsWith('#'))
            continue;
        if (line.startsWith('[')) {
            const qsizetype close = line.indexOf(']');
            section = SectionName(line.sliced(1, (close < 0 ? line.size() : close) - 1));
            continue;
        }
        const qsizetype equals = line.indexOf('=');
        if (equals <= 0)
            continue;
        const QString key =
            NormalizedKey(section + QLatin1Char('/') + UnescapedName(line.first(equals).trimmed()));
        if (key.isEmpty())
            continue;
        map.insert(key, UnescapedValue(line.sliced(equals + 1).trimmed()));
    }
}

QByteArray PlainIniText(const QSettings::SettingsMap& map)
{
    std::map<QString, QByteArray> sections;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        const qsizetype slash = it.key().lastIndexOf(QLatin1Char('/'));
        const QString section = slash < 0 ? QString() : it.key().first(slash);
        QByteArray& lines = sections[section];
        lines += EscapedName(QStringView(it.key()).sliced(slash + 1));
        lines += '=';
        lines += EscapedValue(it.value().toString());
        lines += '\n';
    }
    QByteArray text;
    for (const auto& [section, lines] : sections) {
        if (!text.isEmpty())
            text += '\n';
        const QByteArray name = section.isEmpty()    ? QByteArray("General")
                                : IsGeneral(section) ? '%' + section.toLatin1()
                                                     : EscapedName(section);
        text += '[' + name + "]\n";
        text += lines;
    }
    return text;
}

QSettings::Format PlainIniFormat()
{
    static const QSettings::Format format =
        QSettings::registerFormat(QStringLiteral("ini"), ReadPlainIni, WritePlainIni);
    return format;
}

} // namespace quillon
