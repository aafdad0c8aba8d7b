#include "app/QtDialogs.h"

#include "app/BugFrm.h"

#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>

namespace quillon {

namespace {

QMessageBox::StandardButton QtStandardButton(MessageResult result)
{
    switch (result) {
    case MessageResult::Ok:
        return QMessageBox::Ok;
    case MessageResult::Cancel:
        return QMessageBox::Cancel;
    case MessageResult::Yes:
        return QMessageBox::Yes;
    case MessageResult::No:
        return QMessageBox::No;
    }
    return QMessageBox::NoButton;
}

QMessageBox::Icon QtMessageIcon(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::None:
        return QMessageBox::NoIcon;
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::Exclamation:
        return QMessageBox::Warning;
    case MessageIcon::Critical:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

} // namespace

MessageResult QtDialogs::ShowMessage(const QString& text, const QString& title, MessageIcon icon,
                                     MessageButtons buttons, MessageResult defaultButton)
{
    QMessageBox::StandardButtons set;
    switch (buttons) {
    case MessageButtons::Ok:
        set = QMessageBox::Ok;
        break;
    case MessageButtons::OkCancel:
        set = QMessageBox::Ok | QMessageBox::Cancel;
        break;
    case MessageButtons::YesNo:
        set = QMessageBox::Yes | QMessageBox::No;
        break;
    case MessageButtons::YesNoCancel:
        set = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        break;
    }
    QMessageBox box(QtMessageIcon(icon), title, text, set, m_owner);
    box.setDefaultButton(QtStandardButton(defaultButton));
    switch (box.exec()) {
    case QMessageBox::Ok:
        return MessageResult::Ok;
    case QMessageBox::Yes:
        return MessageResult::Yes;
    case QMessageBox::No:
        return MessageResult::No;
    default:
        // Closed by Escape or the close box: the safe answer of each button set.
        return buttons == MessageButtons::YesNo ? MessageResult::No : MessageResult::Cancel;
    }
}

QString QtDialogs::ShowInputBox(const QString& prompt, const QString& title,
                                const QString& defaultAnswer)
{
    bool ok = false;
    const QString answer =
        QInputDialog::getText(m_owner, title, prompt, QLineEdit::Normal, defaultAnswer, &ok);
    return ok ? answer : QString();
}

QString QtDialogs::ShowSaveDialog(const QString& filter, const QString& title,
                                  const QString& initialFolder, const QString& initialName)
{
    int chosen = -1;
    return ShowSaveDialogChoosing(filter, title, initialFolder, initialName, &chosen);
}

QString QtDialogs::ShowSaveDialogChoosing(const QString& filter, const QString& title,
                                          const QString& initialFolder, const QString& initialName,
                                          int* chosenFilter)
{
    *chosenFilter = -1;
    const QList<FileFilter> filters = ParseFileFilter(filter);
    QFileDialog dialog(m_owner, title, initialFolder, QtFileFilter(filter));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    if (!initialName.isEmpty())
        dialog.selectFile(initialName);
    const QStringList qtFilters = dialog.nameFilters();
    // The dialog appends the chosen filter's extension before it asks about replacing a file,
    // so "report" with "Text file" is checked and written as report.txt.
    auto patternOf = [&](const QString& nameFilter) {
        const qsizetype index = qtFilters.indexOf(nameFilter);
        return index >= 0 && index < filters.size() ? filters[index].pattern : QString();
    };
    auto applySuffix = [&](const QString& nameFilter) {
        dialog.setDefaultSuffix(FilterExtension(patternOf(nameFilter)));
    };
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, applySuffix);
    applySuffix(dialog.selectedNameFilter());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    *chosenFilter = static_cast<int>(qtFilters.indexOf(dialog.selectedNameFilter()));
    return WithFilterExtension(dialog.selectedFiles().constFirst(),
                               patternOf(dialog.selectedNameFilter()));
}

QString QtDialogs::ShowOpenDialog(const QString& filter, const QString& title,
                                  const QString& initialFolder)
{
    return QFileDialog::getOpenFileName(m_owner, title, initialFolder, QtFileFilter(filter));
}

QString QtDialogs::ShowFolderBrowser(const QString& prompt, bool /*newStyle*/)
{
    const QString folder = QFileDialog::getExistingDirectory(m_owner, prompt);
    if (folder.isEmpty())
        return {};
    return QDir::cleanPath(folder);
}

QString QtDialogs::ShowColourPicker()
{
    const QColor colour = QColorDialog::getColor(Qt::black, m_owner);
    if (!colour.isValid())
        return QStringLiteral("-1");
    const quint32 bgr =
        quint32(colour.red()) | (quint32(colour.green()) << 8) | (quint32(colour.blue()) << 16);
    return QString::number(bgr);
}

ErrorChoice QtDialogs::ShowErrorReport(const ErrorReport& report)
{
    BugFrm dialog(*this, m_owner);
    return dialog.Ask(report);
}

bool QtDialogs::ShowPrintDialog(QPrinter& printer)
{
    QPrintDialog dialog(&printer, m_owner);
    // The whole report is always printed: no page range or selection to offer.
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    return dialog.exec() == QDialog::Accepted;
}

bool QtDialogs::ShowPageSetup(QPrinter& printer, PageMargins& margins, bool metric)
{
    // The dialog edits the printer's page layout: hand the margins over in the user's unit and
    // read them back the same way.
    const QPageLayout::Unit unit = metric ? QPageLayout::Millimeter : QPageLayout::Inch;
    const double perUnit = metric ? 100.0 : 1000.0;
    QPageLayout layout = printer.pageLayout();
    layout.setUnits(unit);
    layout.setMode(QPageLayout::FullPageMode); // margins are the program's, not the device's
    layout.setMargins(QMarginsF(margins.left / perUnit, margins.top / perUnit,
                                margins.right / perUnit, margins.bottom / perUnit));
    printer.setPageLayout(layout);

    QPageSetupDialog dialog(&printer, m_owner);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const QMarginsF chosen = printer.pageLayout().margins(unit);
    margins.left = qRound(chosen.left() * perUnit);
    margins.top = qRound(chosen.top() * perUnit);
    margins.right = qRound(chosen.right() * perUnit);
    margins.bottom = qRound(chosen.bottom() * perUnit);
    return true;
}

} // namespace quillon
