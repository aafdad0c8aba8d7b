#pragma once

#include <QString>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace quillon {

/// Which field leads the sort keys of List In Details (the main window's sort box).
enum class DetailsSortBy { Name, Size, Date };

/// "Name", "Size" or "Date" as the sort box holds them; any other text sorts by name, so the
/// files are still listed.
DetailsSortBy DetailsSortByText(const QString& text);

/// One file of a folder block, kept as its fields; the joined key text is made only to be
/// collated (DetailsKeyText), so names holding "?" or "|" are never split.
struct DetailsSortKey {
    std::string_view folder; ///< folder path ending in "/", or empty where it decides nothing
    std::string_view name;   ///< file name as listed (owned by the record list)
    std::int64_t size = 0;
    std::string day; ///< last-changed day "yyyymmdd" for the Date sort; empty when unknown
    /// Last-changed time, seconds since the epoch, read when the key was made (through a
    /// link): the file's line shows it without asking the file again.
    std::int64_t changed = 0;
    /// errno when the file's status could not be read although it is there: its line keeps
    /// the name with blanks where the values would be.
    int statError = 0;
    bool repeatLink = false; ///< a later link of a file counted once: adds nothing to sums
    std::size_t record = 0;  ///< the file's index in the record list
};

/// The text a key is collated by: Name "folder?name?size", Size "size?folder?name", Date
/// "yyyymmdd?folder?name?size", sizes as 15 zero-padded digits.
std::string DetailsKeyText(const DetailsSortKey& key, DetailsSortBy sortBy);

/// Sets out to DetailsKeyText(key, sortBy), reusing its buffer.
void AssignDetailsKeyText(std::string& out, const DetailsSortKey& key, DetailsSortBy sortBy);

/// "yyyymmdd" of a local time: the day field of a key.
std::string DayKey(const std::tm& local);

} // namespace quillon
