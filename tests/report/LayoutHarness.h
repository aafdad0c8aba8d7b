#pragma once

#include "report/LayoutContext.h"

#include <QLocale>
#include <QTemporaryDir>
#include <string>
#include <vector>

namespace quillon::test {

/// A layout context over a record list, writing its staging file into a temporary folder
/// under an English locale, with the progress texts and error reports it produced.
class LayoutHarness {
public:
    LayoutHarness();
    ~LayoutHarness();

    /// A scan location's folder node; path ends in "/".
    const FolderNode* location(const std::string& path);
    /// A sub-folder node of parent; path ends in "/".
    const FolderNode* folder(const FolderNode* parent, const std::string& path);

    /// The staging file's bytes.
    std::string bytes() const;
    /// The staging file split at CR LF, without the header line and the closing line.
    std::vector<std::string> body() const;

    RecordList records;
    ScanCounters counters;
    bool cancel = false;
    LayoutContext context;
    std::vector<QString> statusTexts;
    std::vector<ErrorReport> errors;

private:
    QTemporaryDir m_dir;
    QLocale m_savedLocale;
};

} // namespace quillon::test
