#include "scan/ScanLocation.h"

#include <QFile>

namespace quillon {

std::vector<std::string> LocationPaths(const ScanLocationList& locations)
{
    std::vector<std::string> paths;
    paths.reserve(locations.size());
    for (const ScanLocation& location : locations)
        paths.push_back(QFile::encodeName(location.path).toStdString());
    return paths;
}

} // namespace quillon
