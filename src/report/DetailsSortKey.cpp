#include "report/DetailsSortKey.h"

#include "scan/SortTexts.h"

#include <cstdio>
#include <limits>

namespace quillon {

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
