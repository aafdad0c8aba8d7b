#include "LayoutHarness.h"

#include <QFile>

namespace quillon::test {

LayoutHarness::LayoutHarness()
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    context.records = &records;
    context.counters = &counters;
    context.cancel = &cancel;
    context.stagingPath = m_dir.filePath("tmpfile.dmp");
    context.progress.status = [this](const QString& text) { statusTexts.push_back(text); };
    context.decide = [this](const ErrorReport& report) {
        errors.push_back(report);
        return ErrorChoice::Abort;
    };
}

LayoutHarness::~LayoutHarness()
{
    QLocale::setDefault(m_savedLocale);
}

const FolderNode* LayoutHarness::location(const std::string& path)
{
    context.locations.push_back(path.size() > 1 ? path.substr(0, path.size() - 1) : path);
    return records.addFolder(nullptr, path);
}

const FolderNode* LayoutHarness::folder(const FolderNode* parent, const std::string& path)
{
    // Nodes keep their own name; the path must continue the parent's.
    const std::string name = path.substr(parent->pathLength, path.size() - parent->pathLength - 1);
    const FolderNode* node = records.addFolder(parent, name);
    return node->path() == path ? node : nullptr;
}

std::string LayoutHarness::bytes() const
{
    QFile file(context.stagingPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll().toStdString();
}

std::vector<std::string> LayoutHarness::body() const
{
    std::vector<std::string> lines;
    const std::string all = bytes();
    std::size_t start = 0;
    for (std::size_t end; (end = all.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(all.substr(start, end - start));
    if (lines.size() >= 2) {
        lines.erase(lines.begin());
        lines.pop_back();
    }
    return lines;
}

} // namespace quillon::test
