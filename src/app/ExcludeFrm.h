#pragma once

#include "scan/ExclusionList.h"

#include <QDialog>
#include <QString>

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;

namespace quillon {

class Dialogs;

/// The exclusion list dialog: file names, folders and extensions that every scan leaves out,
/// and whether an excluded folder takes its sub-folders with it. The window keeps it loaded and
/// hidden, because its lists are what each scan is handed. OK saves and hides; the close box
/// saves and unloads, so the next opening starts from the file with the sub-folder flag clear.
class ExcludeFrm : public QDialog {
    Q_OBJECT
public:
    /// Loads the lists from path. dialogs answers the folder browser and tells save failures.
    ExcludeFrm(Dialogs& dialogs, QString path, QWidget* parent = nullptr);

    /// The lists and the flag as the controls hold them now, saved or not.
    ExclusionList List() const;

    /// Empties the lists and fills them from the file; the sub-folder flag starts clear.
    void LoadExclusionList();
    /// Writes the lists to the file; on failure tells the user why and returns false. A file
    /// that could not be read (too large, not a regular file) is left as it is.
    bool SaveExclusionList();

    /// The close box: saves, then unloads (the lists come back from the file, flag clear).
    void reject() override;

    // Test and benchmark probes, not used by the program itself: the controls, named as their
    // objectNames, and what the tests read of the dialog.
    QTabWidget* SSTab1;
    QLabel* Label1;
    QLineEdit* txtFileName;
    QPushButton* cmdFileAdd;
    QListWidget* lstFileName;
    QPushButton* cmdFileRemove;
    QLabel* Label2;
    QPushButton* cmdFolderAdd;
    QListWidget* lstFolder;
    QPushButton* cmdFolderRemove;
    QCheckBox* chkFolderSubFolder;
    QLabel* Label3;
    QLineEdit* txtExtension;
    QPushButton* cmdExtensionAdd;
    QListWidget* lstExtension;
    QPushButton* cmdExtensionRemove;
    QPushButton* Command6;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* BuildFileNamesPage();
    QWidget* BuildFoldersPage();
    QWidget* BuildExtensionsPage();
    void ConnectControls();
    void AddFileName();
    void AddFolder();
    void AddExtension();
    void ShowRefusal();
    void UpdateRemoveButtons();

    Dialogs& m_dialogs;
    QString m_path;
    QString m_refused; ///< why the file could not be read; it is then never written over
};

} // namespace quillon
