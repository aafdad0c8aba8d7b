// The main window's interactive web page: Save As with "Web page, interactive".
#include "app/MainFrm.h"

#include "app/Dialogs.h"
#include "app/ScanRun.h"
#include "listing/ListingWriter.h"
#include "platform/ThrottledYield.h"

#include <QFile>
#include <QGuiApplication>

namespace quillon {

void MainFrm::SaveWebPage(const QString& path)
{
    const auto tell = [this](const QString& text, MessageIcon icon) {
        m_dialogs->ShowMessage(text, QStringLiteral("Save As"), icon, MessageButtons::Ok,
                               MessageResult::Ok);
    };
    // The page is made from the scan's records, not from the pane, which may hold no scan.
    if (m_scanning || m_run->records().lastIndex() == 0 || !m_scanHeader) {
        tell(QStringLiteral("Nothing was saved: the interactive web page holds the files of the "
                            "last scan. Please scan first."),
             MessageIcon::Information);
        return;
    }
    RecordListingSource source(m_run->records(), *m_scanHeader);
    // Totals only when the scan made them, as for a listing.
    source.setSizeChoices(m_run->options().folderTotals, m_run->options().sizeOnDisk,
                          m_run->options().includeHidden);
    QString first; // the first entry that could not be read in full, with the reason
    source.setUnreadableHook([&](const std::string& entry, const QString& reason, unsigned) {
        if (first.isEmpty())
            first =
                QFile::decodeName(QByteArray::fromStdString(entry)) + QStringLiteral(": ") + reason;
    });
    // Repaints go on while a large page is written; input waits, so the scan cannot change.
    ThrottledYield paint(20, false);
    QString error;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const bool saved = SaveListing(source, ListingFormat::WebPage, path, &error, [&](std::size_t) {
        paint();
        return true;
    });
    QGuiApplication::restoreOverrideCursor();
    if (!saved)
        tell(QStringLiteral("The report could not be saved to ") + path + QStringLiteral(".\r\n") +
                 error,
             MessageIcon::Critical);
    else if (source.unreadableCount() > 0)
        tell(QStringLiteral("The web page was saved, but %1 of its entries could not be read in "
                            "full; their unknown values are left blank. The first: %2")
                 .arg(source.unreadableCount())
                 .arg(first),
             MessageIcon::Exclamation);
}

} // namespace quillon
