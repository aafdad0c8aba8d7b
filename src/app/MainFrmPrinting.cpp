// The main window's paper output: the Print and Page Setup commands.
#include "app/MainFrm.h"

#include "app/Dialogs.h"
#include "output/PagedRenderer.h"
#include "output/SaveFailureText.h"
#include "platform/ProgramNames.h"
#include "platform/SettingsStore.h"

#include <QGuiApplication>
#include <QLocale>
#include <QPrinter>
#include <QProgressDialog>
#include <QTextEdit>

namespace quillon {

QPrinter& MainFrm::Printer()
{
    // Made on first use: asking the print system for its printers can take a moment. The one
    // printer keeps the user's choice of printer, paper and copies until the program ends.
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *m_printer;
}

void MainFrm::Print()
{
    QPrinter& printer = Printer();
    if (!m_dialogs->ShowPrintDialog(printer))
        return;

    PagedRenderer renderer(m_margins);
    if (!renderer.MarginsLeaveRoom(printer)) {
        m_dialogs->ShowMessage(QStringLiteral("The page margins leave no room to print on this "
                                              "paper. Make them smaller in Page Setup."),
                               QStringLiteral("Print"), MessageIcon::Exclamation,
                               MessageButtons::Ok, MessageResult::Ok);
        return;
    }
    // A long report prints for a while: the window stays alive and Cancel stops between two
    // pieces of the work, dropping the print job where the printer allows.
    QProgressDialog progress(QStringLiteral("Printing the report..."), QStringLiteral("Cancel"), 0,
                             0, this);
    progress.setWindowTitle(QStringLiteral("Print"));
    progress.setWindowModality(Qt::ApplicationModal); // nothing may edit the report meanwhile
    progress.setMinimumDuration(500);
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const bool printed = renderer.Render(
        *rTxt->document(), printer,
        [&] {
            if (m_yieldHook)
                m_yieldHook();
            return !progress.wasCanceled();
        },
        [&] { printer.abort(); });
    QGuiApplication::restoreOverrideCursor();
    progress.reset();
    if (!printed && renderer.Cancelled())
        return;
    if (!printed) {
        m_dialogs->ShowMessage(QStringLiteral("Unexpected Error in printing"), kProgramName,
                               MessageIcon::None, MessageButtons::Ok, MessageResult::Ok);
    }
}

void MainFrm::PageSetup()
{
    // The unit follows the user's locale as it is now, not as it was at start.
    const QLocale::MeasurementSystem system = QLocale().measurementSystem();
    PageMargins units;
    units.top = TwipsToPageUnits(m_margins.top, system);
    units.bottom = TwipsToPageUnits(m_margins.bottom, system);
    units.left = TwipsToPageUnits(m_margins.left, system);
    units.right = TwipsToPageUnits(m_margins.right, system);
    if (!m_dialogs->ShowPageSetup(Printer(), units, IsMetricPageUnits(system)))
        return;

    PageMargins twips;
    twips.top = qMax(0, PageUnitsToTwips(units.top, system));
    twips.bottom = qMax(0, PageUnitsToTwips(units.bottom, system));
    twips.left = qMax(0, PageUnitsToTwips(units.left, system));
    twips.right = qMax(0, PageUnitsToTwips(units.right, system));
    m_margins = twips;

    SettingsStore store;
    StorePageMargins(store, m_margins);
    if (!store.sync()) {
        // The margins still hold for this run; say why they will be gone at the next start.
        m_dialogs->ShowMessage(SaveFailureText(QStringLiteral("margins"), {}, store.errorString()),
                               QStringLiteral("Page Setup"), MessageIcon::Exclamation,
                               MessageButtons::Ok, MessageResult::Ok);
    }
}

} // namespace quillon
