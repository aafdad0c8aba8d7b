#pragma once

#include "app/Dialogs.h"

#include <QPointer>
#include <QWidget>

namespace quillon {

/// The program's dialogs shown for real with Qt's standard dialogs, owned by one window.
class QtDialogs : public Dialogs {
public:
    explicit QtDialogs(QWidget* owner = nullptr) : m_owner(owner) {}

    void setOwner(QWidget* owner) { m_owner = owner; }

    MessageResult ShowMessage(const QString& text, const QString& title, MessageIcon icon,
                              MessageButtons buttons, MessageResult defaultButton) override;
    QString ShowInputBox(const QString& prompt, const QString& title,
                         const QString& defaultAnswer) override;
    QString ShowSaveDialog(const QString& filter, const QString& title,
                           const QString& initialFolder, const QString& initialName) override;
    QString ShowSaveDialogChoosing(const QString& filter, const QString& title,
                                   const QString& initialFolder, const QString& initialName,
                                   int* chosenFilter) override;
    QString ShowOpenDialog(const QString& filter, const QString& title,
                           const QString& initialFolder) override;
    QString ShowFolderBrowser(const QString& prompt, bool newStyle) override;
    QString ShowColourPicker() override;
    ErrorChoice ShowErrorReport(const ErrorReport& report) override;
    bool ShowPrintDialog(QPrinter& printer) override;
    bool ShowPageSetup(QPrinter& printer, PageMargins& margins, bool metric) override;

private:
    QPointer<QWidget> m_owner;
};

} // namespace quillon
