#include "output/PdfReport.h"

#include "output/PagedRenderer.h"
#include "platform/CheckedSave.h"
#include "platform/ProgramNames.h"
#include "platform/StoppableInput.h"
#include "rtf/RtfDocumentBuilder.h"
#include "rtf/RtfReader.h"

#include <QFile>
#include <QLocale>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextDocument>

namespace quillon {

QPageSize::PageSizeId LocalePaperSize()
{
    return QLocale().measurementSystem() == QLocale::ImperialUSSystem ? QPageSize::Letter
                                                                      : QPageSize::A4;
}

bool WritePdfReport(const QTextDocument& document, const PageMargins& margins, const QString& path,
                    QString* error, const std::function<bool()>& keepGoing)
{
    QString reason;
    const bool saved = SaveChecked(
        path,
        [&](QSaveFile& file, QString* why) {
            // The writer finishes the document when it goes, so it must go before the commit.
            QPdfWriter writer(&file);
            writer.setPageSize(QPageSize(LocalePaperSize()));
            writer.setPageMargins(QMarginsF(0, 0, 0, 0));
            writer.setCreator(kProgramName);
            PagedRenderer renderer(margins);
            const bool rendered = renderer.Render(document, writer, keepGoing);
            *why = renderer.Error();
            return rendered;
        },
        &reason);
    if (!saved)
        *error = QStringLiteral("cannot write %1: %2").arg(path, reason);
    return saved;
}

bool WritePdfReportFromRtf(const QString& rtfPath, const PageMargins& margins, const QString& path,
                           QString* error, const std::function<bool()>& keepGoing)
{
    QFile file(rtfPath);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read the report %1: %2").arg(rtfPath, file.errorString());
        return false;
    }
    QTextDocument document;
    StoppableInput input(file, keepGoing);
    bool read = false;
    {
        RtfDocumentBuilder builder(&document);
        read = RtfReader(builder).read(input);
    }
    if (input.stopped()) {
        *error = QStringLiteral("%1 was not written: stopped").arg(path);
        return false;
    }
    if (!read) {
        *error = QStringLiteral("cannot read the report %1: %2").arg(rtfPath, file.errorString());
        return false;
    }
    return WritePdfReport(document, margins, path, error, keepGoing);
}

} // namespace quillon
