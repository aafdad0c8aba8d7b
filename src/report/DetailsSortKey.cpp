#include "report/DetailsSortKey.h"

#include <charconv>
#include <cstdio>
#include <limits>

namespace quillon {

namespace {

// "%015lld" of the size's magnitude, without printf's cost on every file of a report.
void AppendSizeDigits(std::string& out, std::int64_t size)
{
    char digits[32];
    if (size == std::numeric_limits<std::int64_t>::min()) { // no magnitude in range
        std::snprintf(digits, sizeof digits, "%015lld", static_cast<long long>(size));
        out.append(digits);
        return;
    }
    const auto end = std::to_chars(digits, digits + sizeof digits, size < 0 ? -size : size).ptr;
    const auto count = static_cast<std::size_t>(end - digits);
    if (count < 15)
        out.append(15 - count, '0');
    out.append(digits, count);
}

} // namespace

DetailsSortBy DetailsSortByText(const QString& text)
{
    if (text == QLatin1String("Size"))
        return DetailsSortBy::Size;
    if (text == QLatin1String("Date"))
        return DetailsSortBy::Date;
    return DetailsSortBy::Name;
}

std::string DetailsKeyText(const DetailsSortKey& key, DetailsSortBy sortBy)
{
    std::string text;
    AssignDetailsKeyText(text, key, sortBy);
    return text;
}

void AssignDetailsKeyText(std::string& text, const DetailsSortKey& key, DetailsSortBy sortBy)
{
    text.clear();
    switch (sortBy) {
    case DetailsSortBy::Name:
        text.append(key.folder).append("?").append(key.name).append("?");
        AppendSizeDigits(text, key.size);
        break;
    case DetailsSortBy::Size:
        AppendSizeDigits(text, key.size);
        text.append("?").append(key.folder).append("?").append(key.name);
        break;
    case DetailsSortBy::Date:
        text.append(key.day).append("?").append(key.folder).append("?").append(key.name);
        text.append("?");
        AppendSizeDigits(text, key.size);
        break;
    }
}

std::string DayKey(const std::tm& local)
{
    const int year = local.tm_year + 1900;
    if (year >= 0 && year <= 9999 && local.tm_mon >= 0 && local.tm_mon < 12 && local.tm_mday >= 0 &&
        local.tm_mday <= 99) {
        const int month = local.tm_mon + 1;
        const char day[] = {static_cast<char>('0' + year / 1000),
                            static_cast<char>('0' + year / 100 % 10),
                            static_cast<char>('0' + year / 10 % 10),
                            static_cast<char>('0' + year % 10),
                            static_cast<char>('0' + month / 10),
                            static_cast<char>('0' + month % 10),
                            static_cast<char>('0' + local.tm_mday / 10),
                            static_cast<char>('0' + local.tm_mday % 10)};
        return std::string(day, sizeof day);
    }
    char text[40];
    std::snprintf(text, sizeof text, "%04d%02d%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday);
    return text;
}

} // namespace quillon
