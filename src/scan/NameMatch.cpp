#include "scan/NameMatch.h"

#include "platform/PathRules.h"
#include "platform/Utf8.h"

#include <QChar>

namespace quillon {

static bool IsAscii(std::string_view text)
{
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

std::string FoldCase(std::string_view text)
{
    if (IsAscii(text))
        return AsciiLower(text);
    std::string folded;
    folded.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        const Utf8Char c = DecodeUtf8At(text, pos);
        if (c.codePoint == kInvalidCodePoint)
            folded.append(text.substr(pos, c.length));
        else
            AppendUtf8(folded, QChar::toCaseFolded(c.codePoint));
        pos += c.length;
    }
    return folded;
}

std::string_view FileExtension(std::string_view name)
{
    const auto dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

TypeFilter::TypeFilter(const QString& filter)
    : m_all(filter == QStringLiteral("*.*")), m_folded(FoldCase(filter.toStdString()))
{}

bool TypeFilter::takes(std::string_view name) const
{
    if (m_all)
        return true;
    const std::string_view extension = FileExtension(name);
    if (extension.size() < 2)
        return false;
    return m_folded.find(FoldCase(extension)) != std::string::npos;
}

} // namespace quillon
