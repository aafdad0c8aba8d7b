#pragma once

#include "details/FileDetails.h"
#include "report/ReportSettings.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace quillon {

/// The columns of a List In Details line, in the order of the "Fields" settings, the dialog's
/// rows and the listings' detail fields. The switches over it have no default, so the compiler
/// names each place a new column still lacks.
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
inline constexpr std::size_t kDetailColumnCount = 14;

/// The detail columns of a listing: those the report settings switch on.
struct ListingColumns {
    bool attributes = false;
    bool version = false;
    bool owner = false;
    bool crc32 = false;
    bool title = false;
    bool artist = false;
    bool album = false;
    bool year = false;
    bool genre = false;
    bool comment = false;

    bool anyTag() const { return title || artist || album || year || genre || comment; }
    bool operator==(const ListingColumns&) const = default;
};

/// Everything the program knows of one column. Adding a column is a row here, its value in
/// ReportSettings, ListingColumns and ListingEntry, and the cases the compiler asks for.
struct DetailColumnRow {
    DetailColumn column;
    const char* key;     ///< its switch in the "Fields" settings
    const char* control; ///< the dialog's check box
    const char* caption;
    bool ReportSettings::*setting;
    bool mp3Frame;          ///< the dialog's MP3 frame, else the general one
    int allowance;          ///< what it adds to the line width (the name column is counted apart)
    int linePlace;          ///< its place from the left in a report line
    const char* listingKey; ///< nullptr for what every listing entry has anyway
    bool ListingColumns::*listed;
    // The reader: what of the file is read for it, and where its text is.
    bool DetailChoice::*choice;
    std::string FileDetails::*detail;
    std::string Mp3Tag::*tagField;
    unsigned unreadable; ///< the ContentDetail bit it is unknown by
};

inline constexpr std::array<DetailColumnRow, kDetailColumnCount> kDetailColumns{{
    {DetailColumn::Filename, "Filename", "f_Filename", "File Name", &ReportSettings::Filename,
     false, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, 0},
    {DetailColumn::Size, "Size", "f_Size", "Size", &ReportSettings::Size, false, 14, 1, nullptr,
     nullptr, nullptr, nullptr, nullptr, 0},
    {DetailColumn::Date, "Date", "f_Date", "Date", &ReportSettings::Date, false, 12, 2, nullptr,
     nullptr, nullptr, nullptr, nullptr, 0},
    {DetailColumn::Time, "Time", "f_Time", "Time", &ReportSettings::Time, false, 10, 3, nullptr,
     nullptr, nullptr, nullptr, nullptr, 0},
    {DetailColumn::Attribute, "Attribute", "f_Attribute", "Attribute", &ReportSettings::Attribute,
     false, 5, 4, "attributes", &ListingColumns::attributes, &DetailChoice::attributes,
     &FileDetails::attributes, nullptr, 0},
    {DetailColumn::Version, "Version", "f_Version", "Version", &ReportSettings::Version, false, 11,
     5, "version", &ListingColumns::version, &DetailChoice::version, &FileDetails::version, nullptr,
     kVersionDetail},
    {DetailColumn::Owner, "Owner", "f_Owner", "Owner", &ReportSettings::Owner, false, 17, 12,
     "owner", &ListingColumns::owner, &DetailChoice::owner, &FileDetails::owner, nullptr, 0},
    {DetailColumn::CRC32, "CRC32", "f_CRC32", "CRC32", &ReportSettings::CRC32, false, 12, 13,
     "crc32", &ListingColumns::crc32, &DetailChoice::crc32, nullptr, nullptr, kCrcDetail},
    {DetailColumn::Title, "Title", "f_Title", "Title", &ReportSettings::Title, true, 32, 6, "title",
     &ListingColumns::title, &DetailChoice::tag, nullptr, &Mp3Tag::title, kTagDetail},
    {DetailColumn::Artist, "Artist", "f_Artist", "Artist", &ReportSettings::Artist, true, 32, 7,
     "artist", &ListingColumns::artist, &DetailChoice::tag, nullptr, &Mp3Tag::artist, kTagDetail},
    {DetailColumn::Album, "Album", "f_Album", "Album", &ReportSettings::Album, true, 32, 8, "album",
     &ListingColumns::album, &DetailChoice::tag, nullptr, &Mp3Tag::album, kTagDetail},
    {DetailColumn::Year, "Year", "f_Year", "Year", &ReportSettings::Year, true, 6, 9, "year",
     &ListingColumns::year, &DetailChoice::tag, nullptr, &Mp3Tag::year, kTagDetail},
    {DetailColumn::Genre, "Genre", "f_Genre", "Genre", &ReportSettings::Genre, true, 15, 10,
     "genre", &ListingColumns::genre, &DetailChoice::tag, nullptr, &Mp3Tag::genreName, kTagDetail},
    {DetailColumn::Comment, "Comment", "f_Comment", "Comment", &ReportSettings::Comment, true, 32,
     11, "comment", &ListingColumns::comment, &DetailChoice::tag, nullptr, &Mp3Tag::comment,
     kTagDetail},
}};

/// The row of a column.
constexpr const DetailColumnRow& DetailColumnOf(DetailColumn column)
{
    return kDetailColumns[static_cast<std::size_t>(column)];
}

/// The text a column shows for a file's details: the empty text for the columns the scan's
/// key fills (name, size, date, time) and for the checksum, which is a number.
std::string_view DetailText(const DetailColumnRow& row, const FileDetails& details);

/// The columns the settings switch on, in their order from the left of a report line.
std::vector<DetailColumn> LineColumnsOf(const ReportSettings& settings);

/// What to read of each file for the columns the settings switch on.
DetailChoice DetailChoiceOf(const ReportSettings& settings);

ListingColumns ListingColumnsOf(const ReportSettings& settings);

/// What to read of each file for a listing's columns.
DetailChoice DetailChoiceOf(const ListingColumns& columns);

} // namespace quillon
