#include "report/DetailsSortKey.h"

#include "scan/SortTexts.h"

#include <cstdio>

namespace quillon {

namespace {

std::string SizeDigits(std::int64_t size)
{
    std::string digits;
    AppendSizeDigits(digits, size);
    return digits;
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
    const std::string size = SizeDigits(key.size);
    std::string text;
    text.reserve(key.folder.size() + key.name.size() + 40);
    switch (sortBy) {
    case DetailsSortBy::Name:
        text.append(key.folder).append("?").append(key.name).append("?").append(size);
        break;
    case DetailsSortBy::Size:
        text.append(size).append("?").append(key.folder).append("?").append(key.name);
        break;
    case DetailsSortBy::Date:
        text.append(key.day).append("?").append(key.folder).append("?").append(key.name);
        text.append("?").append(size);
        break;
    }
    return text;
}

std::string DayKey(const std::tm& local)
{
    char text[40];
    std::snprintf(text, sizeof text, "%04d%02d%02d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday);
    return text;
}

} // namespace quillon
