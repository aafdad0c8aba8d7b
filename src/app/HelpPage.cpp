#include "app/HelpPage.h"

#include <QDir>
#include <QFileInfo>

namespace quillon {

QString FindHelpPage(const QString& programFolder)
{
    // From bin/ of an installation, or from build/<flavour>/ of a source tree: look in the
    // program's folder and a few folders above it.
    const QStringList relatives = {QStringLiteral("share/quillon/help/index.html"),
                                   QStringLiteral("docs/help/index.html"),
                                   QStringLiteral("help/index.html")};
    QDir dir(programFolder);
    for (int up = 0; up < 4; ++up) {
        for (const QString& relative : relatives) {
            const QFileInfo page(dir.filePath(relative));
            if (page.isFile())
                return page.canonicalFilePath();
        }
        if (!dir.cdUp())
            break;
    }
    return {};
}

} // namespace quillon
