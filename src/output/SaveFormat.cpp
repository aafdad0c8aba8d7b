#include "output/SaveFormat.h"

namespace quillon {

SaveFormat SaveFormatForPath(const QString& path)
{
    // Only the name decides: a folder such as "backup.txt.d" must not make a ".rtf" file text.
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1).toLower();
    if (name.contains(QLatin1String(".txt")))
        return SaveFormat::PlainText;
    if (name.contains(QLatin1String(".rtf")))
        return SaveFormat::RichText;
    if (name.contains(QLatin1String(".htm")))
        return SaveFormat::Html;
    return SaveFormat::None;
}

} // namespace quillon
