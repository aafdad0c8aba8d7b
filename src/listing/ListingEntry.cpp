#include "listing/ListingEntry.h"
#include "platform/HexDigit.h"

#include "platform/Utf8.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace quillon {

namespace {

// Days since 1970-01-01 of a civil date, and back (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d)
{
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2);
}

// Inlined: a listing reads eight of them for each entry's time.
[[gnu::always_inline]] inline bool Digits(std::string_view text, std::size_t pos, std::size_t count,
                                          int& value)
{
    if (pos + count > text.size())
        return false;
    value = 0;
    for (std::size_t i = pos; i < pos + count; ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

std::int64_t FloorDiv(std::int64_t a, std::int64_t b)
{
    return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

} // namespace

std::string_view EntryKindText(EntryKind kind)
{
    switch (kind) {
    case EntryKind::Folder:
        return "folder";
    case EntryKind::Link:
        return "link";
    case EntryKind::File:
        break;
    }
    return "file";
}

bool EntryKindFromText(std::string_view text, EntryKind& kind)
{
    for (EntryKind k : {EntryKind::File, EntryKind::Folder, EntryKind::Link}) {
        if (text == EntryKindText(k)) {
            kind = k;
            return true;
        }
    }
    return false;
}

namespace {

// Where the last "/" of path is: memrchr reads a word at a time, as rfind does not, and a
// listing asks it of each entry's path several times.
std::size_t LastSlash(const std::string& path)
{
    const void* slash = memrchr(path.data(), '/', path.size());
    return slash ? static_cast<std::size_t>(static_cast<const char*>(slash) - path.data())
                 : std::string::npos;
}

} // namespace

std::string_view ListingEntry::folder() const
{
    const std::size_t slash = LastSlash(path);
    if (slash == std::string::npos)
        return {};
    if (slash == 0)
        return path.size() > 1 ? std::string_view(path).substr(0, 1) : std::string_view();
    return std::string_view(path).substr(0, slash);
}

std::string_view ListingEntry::name() const
{
    const std::size_t slash = LastSlash(path);
    return slash == std::string::npos ? std::string_view(path)
                                      : std::string_view(path).substr(slash + 1);
}

std::string CrcText(std::uint32_t crc)
{
    char text[16];
    std::snprintf(text, sizeof text, "%08X", crc);
    return text;
}

void AppendIsoTime(std::string& out, std::int64_t seconds, int utcOffset)
{
    const std::int64_t local = seconds + utcOffset;
    const std::int64_t days = FloorDiv(local, 86400);
    const std::int64_t rest = local - days * 86400;
    std::int64_t y;
    unsigned m;
    unsigned d;
    CivilFromDays(days, y, m, d);
    const int offset = utcOffset < 0 ? -utcOffset : utcOffset;
    if (y >= 0 && y <= 9999 && offset < 100 * 3600) {
        // Written by hand: a listing writes one per entry, and snprintf costs as much as the rest.
        char text[] = "0000-00-00T00:00:00+00:00";
        const auto put = [&text](std::size_t at, std::int64_t value, int width) {
            for (int i = width - 1; i >= 0; --i, value /= 10)
                text[at + static_cast<std::size_t>(i)] = static_cast<char>('0' + value % 10);
        };
        put(0, y, 4);
        put(5, m, 2);
        put(8, d, 2);
        put(11, rest / 3600, 2);
        put(14, rest / 60 % 60, 2);
        put(17, rest % 60, 2);
        text[19] = utcOffset < 0 ? '-' : '+';
        put(20, offset / 3600, 2);
        put(23, offset / 60 % 60, 2);
        out.append(text, sizeof text - 1);
        return;
    }
    char text[64];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02d:%02d:%02d%c%02d:%02d",
                  static_cast<long long>(y), m, d, static_cast<int>(rest / 3600),
                  static_cast<int>(rest / 60 % 60), static_cast<int>(rest % 60),
                  utcOffset < 0 ? '-' : '+', offset / 3600, offset / 60 % 60);
    out.append(text);
}

std::string IsoTime(std::int64_t seconds, int utcOffset)
{
    std::string text;
    AppendIsoTime(text, seconds, utcOffset);
    return text;
}

bool ParseIsoTime(std::string_view text, std::int64_t& seconds, int& utcOffset)
{
    int y, mo, d, h, mi, s;
    if (!Digits(text, 0, 4, y) || text.size() < 19 || text[4] != '-' || !Digits(text, 5, 2, mo) ||
        text[7] != '-' || !Digits(text, 8, 2, d) || (text[10] != 'T' && text[10] != ' ') ||
        !Digits(text, 11, 2, h) || text[13] != ':' || !Digits(text, 14, 2, mi) || text[16] != ':' ||
        !Digits(text, 17, 2, s))
        return false;
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60)
        return false;
    std::size_t pos = 19;
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9')
            ++pos;
    }
    int offset = 0;
    if (pos < text.size() && text[pos] == 'Z') {
        ++pos;
    } else if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        int oh, om;
        if (!Digits(text, pos + 1, 2, oh) || pos + 3 >= text.size() || text[pos + 3] != ':' ||
            !Digits(text, pos + 4, 2, om))
            return false;
        offset = (oh * 3600 + om * 60) * (text[pos] == '-' ? -1 : 1);
        pos += 6;
    } else {
        return false;
    }
    if (pos != text.size())
        return false;
    const std::int64_t local =
        DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) * 86400 + h * 3600 +
        mi * 60 + s;
    seconds = local - offset;
    utcOffset = offset;
    return true;
}

bool IsValidUtf8(std::string_view text)
{
    for (std::size_t pos = 0; pos < text.size();) {
        if (static_cast<unsigned char>(text[pos]) < 0x80) {
            // Whole runs of plain ASCII at once: most paths are nothing else.
            pos += std::max<std::size_t>(1, JsonPlainLength(text.substr(pos), true));
            continue;
        }
        const Utf8Char c = DecodeUtf8At(text, pos);
        if (c.codePoint == kInvalidCodePoint)
            return false;
        pos += c.length;
    }
    return true;
}

std::string ValidUtf8(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t pos = 0; pos < text.size();) {
        const Utf8Char c = DecodeUtf8At(text, pos);
        if (c.codePoint == kInvalidCodePoint)
            out.append("\xEF\xBF\xBD");
        else
            out.append(text.substr(pos, c.length));
        pos += c.length;
    }
    return out;
}

std::string HexBytes(std::string_view bytes)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        hex.push_back(kDigits[b >> 4]);
        hex.push_back(kDigits[b & 15]);
    }
    return hex;
}

bool BytesFromHex(std::string_view hex, std::string& bytes)
{
    if (hex.size() % 2 != 0)
        return false;
    const auto value = [](char c) { return HexDigitValue(static_cast<unsigned char>(c)); };
    bytes.clear();
    bytes.reserve(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int hi = value(hex[i]);
        const int lo = value(hex[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        bytes.push_back(static_cast<char>(hi * 16 + lo));
    }
    return true;
}

} // namespace quillon
