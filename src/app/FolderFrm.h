#pragma once

#include "scan/FileTypes.h"

#include <QDialog>
#include <QString>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;

namespace quillon {

class Dialogs;

/// The dialog that makes or changes one scan location: the folder, whether and how deep to
/// enter its sub-folders, and which file types to take. It also keeps the user's list of known
/// file types. Made anew for every add; its result is read from the four public texts after
/// exec() returned Accepted (closing it by its close box adds nothing).
class FolderFrm : public QDialog {
    Q_OBJECT
public:
    /// dialogs answers the folder browser, the add-type question and the error messages.
    explicit FolderFrm(Dialogs& dialogs, QWidget* parent = nullptr);

    /// Asks for the folder and puts the answer (empty on cancel) into the path box; OK is
    /// enabled only while the path box holds something. Runs by itself when the dialog shows.
    void Browse();

    /// Asks for an extension and inserts it at the add counter's position, then stores the list.
    void AddFileType();
    /// Removes the selected type (none selected: nothing) and stores the list.
    void DeleteFileType();

    // The result, set by OK.
    QString Folder;
    QString SubFolder;
    QString FileTypes;
    QString Level;

    // Test and benchmark probes, not used by the program itself: the controls, named as their
    // objectNames, and what the tests read of the dialog.
    QLabel* Label1;
    QLineEdit* Text1;
    QPushButton* Command2;
    QCheckBox* Check1;
    QLabel* Label2;
    QLineEdit* Text2;
    QCheckBox* Check2;
    QRadioButton* Option1;
    QRadioButton* Option2;
    QTreeWidget* FType;
    QPushButton* cmdFileAdd;
    QPushButton* cmdFileDelete;
    QPushButton* cmdOK;
    /// The types as the list shows them, in order.
    FileTypeList FileTypesShown() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildPathControls();
    void BuildLevelControls();
    void BuildTypeControls();
    void LayOutControls();
    void ConnectControls();
    void Accept();
    void SubFoldersClicked();
    void UpdateLevelBox();
    void FilterChoiceChanged();
    void FillTypes(const FileTypeList& types);
    void InsertType(int index, const FileType& type);
    void StoreTypes();
    void ShowError(const QString& text);

    Dialogs& m_dialogs;
    int m_addCounter = 0; ///< types added during this opening go first, in the order added
    bool m_browsedOnOpen = false;
};

} // namespace quillon
