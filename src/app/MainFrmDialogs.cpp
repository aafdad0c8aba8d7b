// The main window's commands that open the location, exclusion and settings dialogs.
#include "app/MainFrm.h"

#include "app/Dialogs.h"
#include "app/ExcludeFrm.h"
#include "app/FolderFrm.h"
#include "app/SettingsFrm.h"
#include "platform/CommandSteps.h"

#include <QPushButton>
#include <QTreeWidget>

namespace quillon {

void MainFrm::AddFolders()
{
    CommandSteps steps(QStringLiteral("Add Folders"),
                       [this](const ErrorReport& report) { return AskAboutError(report); });
    RunCommand(steps, [&] {
        if (steps.step(1, [&] { return IsScanning(); }))
            return;
        FolderFrm form(*m_dialogs, this);
        // Closed by its close box, the dialog hands nothing back and nothing changes.
        if (steps.step(2, [&] { return form.exec(); }) != QDialog::Accepted)
            return;
        if (steps.step(3, [&] { return form.Folder.trimmed().isEmpty(); }))
            return;
        steps.step(4, [&] {
            AddLocation(
                {form.Folder, form.SubFolder, form.FileTypes, form.Level, ScanLocation::kScanIcon});
        });
        steps.step(5, [&] { UpdateRemoveButton(); });
    });
}

void MainFrm::RemoveFolder()
{
    if (IsScanning())
        return;
    // Nothing selected: nothing is removed.
    if (QTreeWidgetItem* item = SearchList->currentItem(); item && item->isSelected())
        delete item;
    UpdateRemoveButton();
}

void MainFrm::ShowExclusions()
{
    if (IsScanning())
        return;
    m_excludeFrm->exec();
}

void MainFrm::ShowSettings()
{
    if (IsScanning())
        return;
    m_settingsFrm->exec();
}

ExclusionList MainFrm::Exclusions() const
{
    return m_excludeFrm->List();
}

ReportSettings MainFrm::Settings() const
{
    return m_settingsFrm->Values();
}

} // namespace quillon
