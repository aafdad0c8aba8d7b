#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillon {

/// The texts records are ordered by, for the record sort, the details sort key and the
/// comparison of two scans alike: a comparison that orders folders otherwise than the sort
/// that wrote a listing would take a sorted listing for an unsorted one.

/// Replaces out with the text a folder is ordered by among its siblings: its name and "/"; a
/// scan location's name is its whole path, which keeps one "/" at its end. Sibling texts
/// compare by the collation, texts that collate equal by their bytes (Collation::Compare).
inline void FolderOrderText(std::string_view name, std::string& out)
{
    out.assign(name);
    if (out.empty() || out.back() != '/')
        out.push_back('/');
}

/// Appends a size as 15 zero-padded digits (more for sizes of a petabyte and above), so that
/// texts order sizes as numbers. A size below zero, which no file has, is written as 0.
inline void AppendSizeDigits(std::string& out, std::int64_t size)
{
    constexpr std::size_t kWidth = 15;
    char digits[24];
    std::size_t count = 0;
    auto value = static_cast<std::uint64_t>(size < 0 ? 0 : size);
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    if (count < kWidth)
        out.append(kWidth - count, '0');
    while (count > 0)
        out.push_back(digits[--count]);
}

} // namespace quillon
