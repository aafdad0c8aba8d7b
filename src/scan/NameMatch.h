#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace quillon {

// How the scan compares file names, paths and extensions with the user's lists: without regard
// to case, on the bytes of the name, so that names that are not valid UTF-8 still compare.

/// The name with every valid UTF-8 character case-folded; bytes that do not form a valid
/// character stay as they are. ASCII-only text takes a fast path.
std::string FoldCase(std::string_view text);

/// The extension of a file name: the text from its last "." to the end (".gz" for
/// "a.tar.gz"); empty when the name holds no ".".
std::string_view FileExtension(std::string_view name);

/// A location's type filter. "*.*" takes every file, also names without "."; otherwise a
/// file is taken when its extension, case-folded, occurs somewhere in the case-folded filter
/// text (containment: ".mp" is taken by ".mp3;.jpg"). A name without an extension, or ending
/// in ".", has nothing to match and is not taken.
class TypeFilter {
public:
    explicit TypeFilter(const QString& filter = QStringLiteral("*.*"));

    /// True when the file name passes the filter.
    bool takes(std::string_view name) const;

private:
    bool m_all;
    std::string m_folded;
};

} // namespace quillon
