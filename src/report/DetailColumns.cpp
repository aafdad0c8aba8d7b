#include "report/DetailColumns.h"

#include <algorithm>

namespace quillon {

namespace {

constexpr bool RowsInColumnOrder()
{
    for (std::size_t i = 0; i < kDetailColumns.size(); ++i)
        if (static_cast<std::size_t>(kDetailColumns[i].column) != i)
            return false;
    return true;
}
static_assert(RowsInColumnOrder(), "kDetailColumns is indexed by DetailColumn");

} // namespace

std::string_view DetailText(const DetailColumnRow& row, const FileDetails& details)
{
    if (row.tagField)
        return details.tag.*row.tagField;
    if (row.detail)
        return details.*row.detail;
    return {};
}

std::vector<DetailColumn> LineColumnsOf(const ReportSettings& settings)
{
    std::vector<DetailColumn> columns;
    for (const DetailColumnRow& row : kDetailColumns)
        if (settings.*row.setting)
            columns.push_back(row.column);
    std::sort(columns.begin(), columns.end(), [](DetailColumn a, DetailColumn b) {
        return DetailColumnOf(a).linePlace < DetailColumnOf(b).linePlace;
    });
    return columns;
}

DetailChoice DetailChoiceOf(const ReportSettings& settings)
{
    DetailChoice choice;
    for (const DetailColumnRow& row : kDetailColumns)
        if (row.choice && settings.*row.setting)
            choice.*row.choice = true;
    return choice;
}

ListingColumns ListingColumnsOf(const ReportSettings& settings)
{
    ListingColumns columns;
    for (const DetailColumnRow& row : kDetailColumns)
        if (row.listed)
            columns.*row.listed = settings.*row.setting;
    return columns;
}

DetailChoice DetailChoiceOf(const ListingColumns& columns)
{
    DetailChoice choice;
    for (const DetailColumnRow& row : kDetailColumns)
        if (row.listed && row.choice && columns.*row.listed)
            choice.*row.choice = true;
    return choice;
}

} // namespace quillon
