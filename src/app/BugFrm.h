#pragma once

#include "platform/ErrorReport.h"

#include <QDialog>

class QGridLayout;
class QHBoxLayout;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace quillon {

class Dialogs;

/// The error report dialog: tells the user which command failed and where, and offers Retry,
/// Abort and "Send Error Report" (the report on the clipboard and a mail to the maker).
class BugFrm : public QDialog {
    Q_OBJECT
public:
    /// dialogs answers the message box that "Send Error Report" shows.
    explicit BugFrm(Dialogs& dialogs, QWidget* parent = nullptr);

    /// Shows the report modally and returns the user's choice. Closing the dialog by its close
    /// box is Abort: the answer is reset each time, so an earlier Retry is never reused.
    ErrorChoice Ask(const ErrorReport& report);

    /// Fills the four value labels.
    void SetReport(const ErrorReport& report);

    /// The text "Send Error Report" puts on the clipboard: seven labelled lines, an empty line,
    /// then the user's own account, every line ended by CR LF.
    QString ReportText() const;

    /// The "mailto:" address opened by "Send Error Report".
    static QString MailUrl();

    // Test and benchmark probes, not used by the program itself: the controls, named as their
    // objectNames, and what the tests read of the dialog.
    QLabel* lblmsg1;
    QLabel* lblmsg2;
    QLabel* lblErrNo;
    QLabel* lblErrDesc;
    QLabel* lblErrPro;
    QLabel* lblErrLine;
    QPlainTextEdit* Text1;
    QPushButton* Command1;
    QPushButton* Command2;
    QPushButton* Command3;
    /// 1 after Retry, 2 after Abort, 0 before either was pressed.
    int ReturnCode() const { return m_returnCode; }

private:
    void BuildMessage();
    QGridLayout* BuildErrorGrid();
    QHBoxLayout* BuildButtons();
    void SendErrorReport();

    Dialogs& m_dialogs;
    int m_returnCode = 0;
};

} // namespace quillon
