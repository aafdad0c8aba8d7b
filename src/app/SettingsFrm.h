#pragma once

#include "report/DetailColumns.h"
#include "report/ReportSettings.h"

#include <array>

#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QTabWidget;

namespace quillon {

class Dialogs;

/// The report settings dialog: the list options and the List In Details fields. The window
/// keeps it loaded and hidden, because its controls hold the settings every report uses. OK
/// writes all values and hides it; the close box drops unsaved edits (the controls go back to
/// the stored values).
class SettingsFrm : public QDialog {
    Q_OBJECT
public:
    /// Loads the controls from the stored settings. dialogs tells a failed write.
    explicit SettingsFrm(Dialogs& dialogs, QWidget* parent = nullptr);

    /// The settings as the controls hold them now.
    ReportSettings Values() const;
    /// Sets every control from settings.
    void SetValues(const ReportSettings& settings);
    /// Sets every control from the stored settings, defaults standing in for missing ones.
    void Load();
    /// Writes all values; on failure tells the user why and returns false.
    bool Save();

    /// The close box: discards unsaved edits.
    void reject() override;

    // Test and benchmark probes, not used by the program itself: the controls, named as their
    // objectNames, and what the tests read of the dialog.
    QTabWidget* SSTab1;
    QGroupBox* FrameListOptions;
    QCheckBox* v_FullPath;
    QCheckBox* v_ListInUpper;
    QCheckBox* v_ListInLower;
    QCheckBox* v_IncludeFolderTitle;
    QCheckBox* v_IncludeSeparator;
    QCheckBox* v_IncludeFolderSum;
    QCheckBox* v_IncludeFullSum;
    QCheckBox* v_KeepAllCharacters;
    QGroupBox* FrameSizes; ///< folder totals, hidden files, file systems, links, size on disk
    QCheckBox* v_FolderTotals;
    QCheckBox* v_SortFoldersByTotal;
    QCheckBox* v_IncludeHidden;
    QCheckBox* v_OneFileSystem;
    QCheckBox* v_CountHardLinksOnce;
    QCheckBox* v_SizeOnDisk;
    QLabel* lblColSize;
    QComboBox* v_ColSize;
    QLabel* lblShowSizeIn;
    QComboBox* v_ShowSizeIn;
    QGroupBox* FrameGeneralFields;
    QGroupBox* FrameMp3;
    QCheckBox* f_RemoveBlankSpaces;
    QPushButton* Command1;
    // The "Summaries" tab (SettingsFrmSummary.cpp).
    QGroupBox* FrameSummaries;
    QCheckBox* s_Top;
    QSpinBox* s_TopCount;
    QCheckBox* s_Types;
    QCheckBox* s_Duplicates;
    QCheckBox* s_SameBytes;
    QCheckBox* s_Alone;
    /// The check box of a detail column (named by the column's control name, "f_Size"...).
    QCheckBox* columnBox(DetailColumn column) const
    {
        return m_columnBoxes[static_cast<std::size_t>(column)];
    }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void BuildGeneralTab(QWidget* general);
    void BuildFieldsTab(QWidget* fields);
    void BuildOkButton();
    void BuildSummaryTab(QWidget* summaries);
    SummarySettings SummaryValues() const;
    void SetSummaryValues(const SummarySettings& summary);
    static void SelectChoice(QComboBox* box, const QString& text);

    Dialogs& m_dialogs;
    std::array<QCheckBox*, kDetailColumnCount> m_columnBoxes{};
};

} // namespace quillon
