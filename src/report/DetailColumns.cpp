#include "report/DetailColumns.h"

#include "report/ReportSettings.h"

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
    const std::string* text = DetailField(row, const_cast<FileDetails&>(details));
    return text ? std::string_view(*text) : std::string_view();
}

std::string* DetailField(const DetailColumnRow& row, FileDetails& details)
{
    if (row.tagField)
        return &(details.tag.*row.tagField);
    if (row.detail)
        return &(details.*row.detail);
    return nullptr;
}

bool ColumnSwitches::any() const
{
    return std::find(on.begin(), on.end(), true) != on.end();
}

std::vector<DetailColumn> LineColumnsOf(const ReportSettings& settings)
{
    std::vector<DetailColumn> columns;
    for (const DetailColumnRow& row : kDetailColumns)
        if (settings.Fields[row.column])
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
        if (row.choice && settings.Fields[row.column])
            choice.*row.choice = true;
    return choice;
}

ListingColumns ListingColumnsOf(const ReportSettings& settings)
{
    ListingColumns columns;
    for (const DetailColumnRow& row : kDetailColumns)
        if (row.listingKey)
            columns[row.column] = settings.Fields[row.column];
    return columns;
}

DetailChoice DetailChoiceOf(const ListingColumns& columns)
{
    DetailChoice choice;
    for (const DetailColumnRow& row : kDetailColumns)
        if (row.choice && columns[row.column])
            choice.*row.choice = true;
    return choice;
}

} // namespace quillon
