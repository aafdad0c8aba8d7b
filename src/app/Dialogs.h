#pragma once

#include "output/PageMargins.h"
#include "platform/ErrorReport.h"

#include <QString>
#include <QStringList>

class QPrinter; // only the window's printer dialogs see the printer itself

namespace quillon {

/// The icon of a message box.
enum class MessageIcon { None, Information, Question, Exclamation, Critical };

/// Which buttons a message box offers.
enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel };

/// The button the user pressed (Cancel also when the box was closed without a button).
enum class MessageResult { Ok, Cancel, Yes, No };

/// Every modal question the program asks goes through this one interface, so that the window
/// runs with real dialogs and tests answer from a script. File dialogs take the pipe filter
/// text ("Label|*.ext|Label|*.ext") and return the empty text when the user cancels.
class Dialogs {
public:
    virtual ~Dialogs() = default;

    /// A message box; returns the button pressed. defaultButton is the one Enter presses.
    virtual MessageResult ShowMessage(const QString& text, const QString& title, MessageIcon icon,
                                      MessageButtons buttons, MessageResult defaultButton) = 0;

    /// A one-line question; the answer, or the empty text when the user cancels.
    virtual QString ShowInputBox(const QString& prompt, const QString& title,
                                 const QString& defaultAnswer) = 0;

    /// The save dialog: asks before replacing a file; a name typed without an extension gets
    /// the chosen filter's extension. The full path, or empty on cancel.
    virtual QString ShowSaveDialog(const QString& filter, const QString& title,
                                   const QString& initialFolder, const QString& initialName) = 0;

    /// The save dialog that also tells which of the filter's pairs the user chose (counted
    /// from 0), for a command whose filters ask for more than the name can say; -1 when the
    /// dialog cannot tell.
    virtual QString ShowSaveDialogChoosing(const QString& filter, const QString& title,
                                           const QString& initialFolder, const QString& initialName,
                                           int* chosenFilter)
    {
        *chosenFilter = -1;
        return ShowSaveDialog(filter, title, initialFolder, initialName);
    }

    /// The open dialog: only existing files. The full path, or empty on cancel.
    virtual QString ShowOpenDialog(const QString& filter, const QString& title,
                                   const QString& initialFolder) = 0;

    /// The folder browser. The folder's path, or empty on cancel.
    virtual QString ShowFolderBrowser(const QString& prompt, bool newStyle) = 0;

    /// The colour picker: the colour as a decimal 0x00BBGGRR value, or "-1" on cancel.
    virtual QString ShowColourPicker() = 0;

    /// The error report dialog: Retry or Abort (closing it without a choice is Abort).
    virtual ErrorChoice ShowErrorReport(const ErrorReport& report) = 0;

    /// The printer dialog for printer. True when the user confirmed; printer then holds the
    /// chosen printer (or output file) and its settings, which it keeps for later commands.
    virtual bool ShowPrintDialog(QPrinter& printer) = 0;

    /// The page-setup dialog for printer (paper and orientation) with four margins given in
    /// page units: hundredths of a millimetre when metric, else thousandths of an inch. True
    /// when the user confirmed; margins then hold the user's values in the same units.
    virtual bool ShowPageSetup(QPrinter& printer, PageMargins& margins, bool metric) = 0;
};

/// One label and pattern pair of a pipe filter text.
struct FileFilter {
    QString label;
    QString pattern; ///< e.g. "*.rtf" (several patterns separated by ";")
};

/// Splits "A|*.a|B|*.b" (a trailing "|" is allowed) into its pairs; a label without a pattern
/// gets "*".
QList<FileFilter> ParseFileFilter(const QString& pipeFilter);

/// "A|*.a|B|*.b" as Qt's file dialogs take it: "A (*.a);;B (*.b)". A label that already ends
/// with its pattern in brackets, as "Text file(*.txt)", is kept as it is.
QString QtFileFilter(const QString& pipeFilter);

/// The extension a filter pattern gives a bare name: "*.rtf" gives "rtf"; "*.*", "*" and
/// patterns with wildcards in the extension give the empty text.
QString FilterExtension(const QString& pattern);

/// path with "." + the pattern's extension appended when the file name has no extension of its
/// own ("report" becomes "report.txt"); otherwise path unchanged.
QString WithFilterExtension(const QString& path, const QString& pattern);

} // namespace quillon
