#pragma once

#include "output/FindReplace.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTextEdit;

namespace quillon {

class Dialogs;

/// The modal "Find and Replace" dialog. It works on the report pane directly: a match found
/// is selected in the pane, and Replace and Replace All change the pane's text. The last match
/// position and the stop flag live with the dialog, so each opening starts at the top again.
class findFrm : public QDialog {
    Q_OBJECT
public:
    /// pane is the report pane; dialogs tells "String not found".
    findFrm(QTextEdit* pane, Dialogs& dialogs, QWidget* parent = nullptr);
    ~findFrm() override;

    /// Lets the window's events run once per replacement of Replace All (throttled by default).
    std::function<void()> yield;

    void FindButton_Click();
    void ReplaceButton_Click();
    void ReplaceAllButton_Click();
    void Command5_Click();

    // Test and benchmark probes, not used by the program itself: the controls, named as their
    // objectNames, and what the tests read of the dialog.
    QLabel* Label1;
    QLineEdit* Text1;
    QLabel* Label2;
    QLineEdit* Text2;
    QCheckBox* Check1;
    QCheckBox* Check2;
    QPushButton* FindButton;
    QPushButton* ReplaceButton;
    QPushButton* ReplaceAllButton;
    QPushButton* Command5;

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;

private:
    void ReadOptions();
    void Select(const QTextCursor& cursor);

    QTextEdit* m_pane;
    Dialogs& m_dialogs;
    std::unique_ptr<FindReplace> m_search;
};

} // namespace quillon
