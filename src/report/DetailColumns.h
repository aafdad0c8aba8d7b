#pragma once

#include "details/FileDetails.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace quillon {

/// The columns of a List In Details line, in the order of the "Fields" settings, the dialog's
/// rows and the listings' detail fields. Adding a column is its name here, its row in
/// kDetailColumns with its reader, and the cases the compiler then asks for: the switches over
/// it have no default.
enum class DetailColumn : std::uint8_t {
    Filename,
    Size,
    Date,
    Time,
    Attribute,
    Version,
    Owner,
    CRC32,
    Title,
    Artist,
    Album,
    Year,
    Genre,
    Comment,
};

struct ReportSettings;

/// Everything the program knows of one column.
struct DetailColumnRow {
    DetailColumn column;
    const char* key;     ///< its switch in the "Fields" settings
    const char* control; ///< the dialog's check box
    const char* caption;
    bool onByDefault;
    bool mp3Frame;          ///< the dialog's MP3 frame, else the general one
    int allowance;          ///< what it adds to the line width (the name column is counted apart)
    int linePlace;          ///< its place from the left in a report line
    const char* listingKey; ///< nullptr for what every listing entry has anyway
    // The reader: what of the file is read for it, and where its text is.
    bool DetailChoice::*choice;
    std::string FileDetails::*detail;
    std::string Mp3Tag::*tagField;
    unsigned unreadable;   ///< the ContentDetail bit it is unknown by
    std::size_t readWidth; ///< what the reader pads its text to, which a listing cuts
};

inline constexpr auto kDetailColumns = std::to_array<DetailColumnRow>({
    {DetailColumn::Filename, "Filename", "f_Filename", "File Name", true, false, 0, 0, nullptr,
     nullptr, nullptr, nullptr, 0, 0},
    {DetailColumn::Size, "Size", "f_Size", "Size", true, false, 14, 1, nullptr, nullptr, nullptr,
     nullptr, 0, 0},
    {DetailColumn::Date, "Date", "f_Date", "Date", true, false, 12, 2, nullptr, nullptr, nullptr,
     nullptr, 0, 0},
    {DetailColumn::Time, "Time", "f_Time", "Time", false, false, 10, 3, nullptr, nullptr, nullptr,
     nullptr, 0, 0},
    {DetailColumn::Attribute, "Attribute", "f_Attribute", "Attribute", false, false, 5, 4,
     "attributes", &DetailChoice::attributes, &FileDetails::attributes, nullptr, 0, 4},
    {DetailColumn::Version, "Version", "f_Version", "Version", false, false, 11, 5, "version",
     &DetailChoice::version, &FileDetails::version, nullptr, kVersionDetail, 0},
    {DetailColumn::Owner, "Owner", "f_Owner", "Owner", false, false, 17, 12, "owner",
     &DetailChoice::owner, &FileDetails::owner, nullptr, 0, 0},
    {DetailColumn::CRC32, "CRC32", "f_CRC32", "CRC32", false, false, 12, 13, "crc32",
     &DetailChoice::crc32, nullptr, nullptr, kCrcDetail, 0},
    {DetailColumn::Title, "Title", "f_Title", "Title", false, true, 32, 6, "title",
     &DetailChoice::tag, nullptr, &Mp3Tag::title, kTagDetail, Mp3Tag::kTextWidth},
    {DetailColumn::Artist, "Artist", "f_Artist", "Artist", false, true, 32, 7, "artist",
     &DetailChoice::tag, nullptr, &Mp3Tag::artist, kTagDetail, Mp3Tag::kTextWidth},
    {DetailColumn::Album, "Album", "f_Album", "Album", false, true, 32, 8, "album",
     &DetailChoice::tag, nullptr, &Mp3Tag::album, kTagDetail, Mp3Tag::kTextWidth},
    {DetailColumn::Year, "Year", "f_Year", "Year", false, true, 6, 9, "year", &DetailChoice::tag,
     nullptr, &Mp3Tag::year, kTagDetail, Mp3Tag::kYearWidth},
    {DetailColumn::Genre, "Genre", "f_Genre", "Genre", false, true, 15, 10, "genre",
     &DetailChoice::tag, nullptr, &Mp3Tag::genreName, kTagDetail, 0},
    {DetailColumn::Comment, "Comment", "f_Comment", "Comment", false, true, 32, 11, "comment",
     &DetailChoice::tag, nullptr, &Mp3Tag::comment, kTagDetail, Mp3Tag::kTextWidth},
});
inline constexpr std::size_t kDetailColumnCount = kDetailColumns.size();

/// The row of a column.
constexpr const DetailColumnRow& DetailColumnOf(DetailColumn column)
{
    return kDetailColumns[static_cast<std::size_t>(column)];
}

/// The text a column shows for a file's details: the empty text for the columns the scan's
/// key fills (name, size, date, time) and for the checksum, which is a number.
std::string_view DetailText(const DetailColumnRow& row, const FileDetails& details);

/// The text of a column in a file's details; nullptr for the columns that have none there.
std::string* DetailField(const DetailColumnRow& row, FileDetails& details);

/// A switch for each detail column.
struct ColumnSwitches {
    std::array<bool, kDetailColumnCount> on{};

    bool& operator[](DetailColumn column) { return on[static_cast<std::size_t>(column)]; }
    bool operator[](DetailColumn column) const { return on[static_cast<std::size_t>(column)]; }
    bool any() const;
    bool operator==(const ColumnSwitches&) const = default;
};

/// The columns a report shows when the settings are their defaults.
constexpr ColumnSwitches DefaultColumns()
{
    ColumnSwitches columns;
    for (const DetailColumnRow& row : kDetailColumns)
        columns[row.column] = row.onByDefault;
    return columns;
}

/// The detail columns of a listing: those of the settings that have a listing key.
struct ListingColumns : ColumnSwitches {};

/// The columns the settings switch on, in their order from the left of a report line.
std::vector<DetailColumn> LineColumnsOf(const ReportSettings& settings);

/// What to read of each file for the columns the settings switch on.
DetailChoice DetailChoiceOf(const ReportSettings& settings);

ListingColumns ListingColumnsOf(const ReportSettings& settings);

/// What to read of each file for a listing's columns.
DetailChoice DetailChoiceOf(const ListingColumns& columns);

} // namespace quillon
