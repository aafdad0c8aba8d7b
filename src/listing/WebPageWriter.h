#pragma once

#include "listing/ListingWriter.h"

#include <string>
#include <string_view>
#include <vector>

namespace quillon {

/// The interactive web page: one self-contained HTML file (its script and style sheet inside,
/// no network access) that shows the scan as a tree of folding folders and as a table sorted
/// by any column, narrowed by a filter box. The entries go into the page as compact JSON
/// arrays in blocks of <script type="application/json">, written as they come, so memory stays
/// the same for any number of entries; the page draws only the rows in view.
///
/// Each row is [kind, parent, name, size, modified, (totalSize, fileCount), (allocated),
/// details...]: kind 0 file, 1 folder, 2 link; parent the number of the folder row holding it
/// (folder rows counted from 0) or -1; name as the comparison report shows names (escapes for
/// control characters and bytes that are not UTF-8); size and modified (seconds since 1970) or
/// null when unknown. A folder the source has no entry for (List In Details lists files only)
/// gets a row of its own with null values, so the tree is whole; a folder with no parent row
/// has its full path as its name.
class WebPageWriter : public ListingWriter {
public:
    using ListingWriter::ListingWriter;
    void begin(const ListingHeader& header) override;
    void write(const ListingEntry& entry) override;
    bool finish() override;

private:
    struct Open {
        std::size_t length; ///< of the folder's path, a beginning of m_openPath
        int number;
    };
    int folderRow(std::string_view path, const ListingEntry* entry);
    std::string_view openPath() const
    {
        return std::string_view(m_openPath).substr(0, m_open.back().length);
    }
    void push(std::string_view path);
    void row(int kind, int parent, std::string_view name, const ListingEntry* entry);
    void nextRow();

    ListingHeader m_header;
    std::vector<std::string> m_roots; ///< the locations' paths, where a tree may start
    /// The folders holding the last entry, outermost first. Their paths are the beginnings of
    /// the innermost one's, kept once, so a deep tree costs its depth, not depth times length.
    std::vector<Open> m_open;
    std::string m_openPath;
    std::string m_tail; ///< the page after its rows
    int m_folders = 0;
    std::size_t m_rowsInBlock = 0;
};

/// Appends text as a JSON string that is safe inside an HTML script element: besides JSON's
/// own escapes, "<", ">" and "&" are written as \u escapes, so no text can close the element
/// or open a comment. Invalid UTF-8 bytes become U+FFFD.
void AppendPageJsonString(std::string& out, std::string_view text);

} // namespace quillon
