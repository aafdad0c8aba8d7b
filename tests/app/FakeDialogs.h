#pragma once

#include "app/Dialogs.h"

#include <QList>
#include <QPrinter>
#include <QStringList>
#include <deque>

namespace quillon::test {

/// Answers the program's questions from queues filled by the test and records what was asked.
/// An empty queue gives the cancel answer (empty text, "-1", the default button, Abort).
class FakeDialogs : public Dialogs {
public:
    struct Message {
        QString text;
        QString title;
        MessageIcon icon;
        MessageButtons buttons;
        MessageResult defaultButton;
    };

    std::deque<MessageResult> messageAnswers;
    std::deque<QString> paths; ///< save and open dialogs
    /// The filter each save dialog that tells it was left at; an empty queue: -1 (unknown).
    std::deque<int> chosenFilters;
    std::deque<QString> colours; ///< colour picker
    std::deque<ErrorChoice> errorChoices;
    /// Print dialog answers: true confirms (the printer then writes a PDF to printPdfPath).
    std::deque<bool> printAnswers;
    QString printPdfPath;
    /// Page-setup answers in page units; an empty queue cancels.
    std::deque<PageMargins> pageSetupAnswers;
    std::deque<QString> inputAnswers; ///< input boxes

    QList<Message> messages;
    QStringList fileDialogTitles;
    QList<ErrorReport> errors;
    int printDialogs = 0;
    QList<PageMargins> pageSetupShown; ///< the margins each page setup showed
    QList<bool> pageSetupMetric;
    QStringList inputPrompts;  ///< "prompt|title" of each input box
    QStringList folderPrompts; ///< prompt of each folder browser

    MessageResult ShowMessage(const QString& text, const QString& title, MessageIcon icon,
                              MessageButtons buttons, MessageResult defaultButton) override
    {
        messages.append({text, title, icon, buttons, defaultButton});
        return pop(messageAnswers, defaultButton);
    }
    QString ShowInputBox(const QString& prompt, const QString& title, const QString&) override
    {
        inputPrompts.append(prompt + QLatin1Char('|') + title);
        return pop(inputAnswers, QString());
    }
    QString ShowSaveDialog(const QString&, const QString& title, const QString&,
                           const QString&) override
    {
        fileDialogTitles.append(title);
        return pop(paths, QString());
    }
    QString ShowSaveDialogChoosing(const QString& filter, const QString& title,
                                   const QString& folder, const QString& name,
                                   int* chosenFilter) override
    {
        *chosenFilter = pop(chosenFilters, -1);
        return ShowSaveDialog(filter, title, folder, name);
    }
    QString ShowOpenDialog(const QString&, const QString& title, const QString&) override
    {
        fileDialogTitles.append(title);
        return pop(paths, QString());
    }
    QString ShowFolderBrowser(const QString& prompt, bool) override
    {
        folderPrompts.append(prompt);
        return pop(paths, QString());
    }
    QString ShowColourPicker() override { return pop(colours, QStringLiteral("-1")); }
    ErrorChoice ShowErrorReport(const ErrorReport& report) override
    {
        errors.append(report);
        return pop(errorChoices, ErrorChoice::Abort);
    }

    bool ShowPrintDialog(QPrinter& printer) override
    {
        ++printDialogs;
        if (!pop(printAnswers, false))
            return false;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(printPdfPath);
        return true;
    }
    bool ShowPageSetup(QPrinter&, PageMargins& margins, bool metric) override
    {
        pageSetupShown.append(margins);
        pageSetupMetric.append(metric);
        if (pageSetupAnswers.empty())
            return false;
        margins = pop(pageSetupAnswers, margins);
        return true;
    }

private:
    template <class T> static T pop(std::deque<T>& queue, T fallback)
    {
        if (queue.empty())
            return fallback;
        T value = queue.front();
        queue.pop_front();
        return value;
    }
};

} // namespace quillon::test
