#include "app/FolderFrm.h"

#include "app/Dialogs.h"
#include "app/ResourceIcon.h"
#include "app/WidgetNames.h"
#include "platform/SettingsStore.h"
#include "platform/StoredTexts.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace quillon {

namespace {

const QString kTitle = QStringLiteral("Add/Exclude Folders");
constexpr int kMaxLevel = 32767; // the scan takes the level as a 16-bit number

// The bare extension of an add-type answer: *.mp3, .mp3 and mp3 all give mp3. A ";" would
// split the stored entry and the filter, and surrounding blanks are never meant.
QString BareExtension(QString answer)
{
    answer.remove(QLatin1Char('*'));
    answer.remove(QLatin1Char('.'));
    answer.remove(QLatin1Char(';'));
    return answer.trimmed();
}

} // namespace

FolderFrm::FolderFrm(Dialogs& dialogs, QWidget* parent) : QDialog(parent), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("FolderFrm"));
    setWindowTitle(kTitle);
    setModal(true);

    BuildPathControls();
    BuildLevelControls();
    BuildTypeControls();
    LayOutControls();
    resize(460, 400);
    ConnectControls();

    FileTypeList types;
    SettingsStore store;
    if (!LoadFileTypes(store, types))
        types = LoadDefaultFileTypes();
    FillTypes(types);
    FilterChoiceChanged();
}

void FolderFrm::BuildPathControls()
{
    Label1 = Named(new QLabel(QStringLiteral("Path :"), this), "Label1");
    Text1 = Named(new QLineEdit(this), "Text1");
    Text1->setReadOnly(true); // filled by the folder browser, so it always names a real folder
    Label1->setBuddy(Text1);
    Command2 = Named(new QPushButton(this), "Command2");
    Command2->setIcon(ResourceIcon(QStringLiteral("folder")));
    Command2->setToolTip(QStringLiteral("Choose Folder to Search"));
}

void FolderFrm::BuildLevelControls()
{
    Check1 = Named(new QCheckBox(QStringLiteral("Include Sub Folders"), this), "Check1");
    Check1->setChecked(true);
    Label2 = Named(new QLabel(QStringLiteral("Level Deep"), this), "Label2");
    Text2 = Named(new QLineEdit(QStringLiteral("1"), this), "Text2");
    Text2->setMaximumWidth(60);
    Label2->setBuddy(Text2);
    Check2 = Named(new QCheckBox(kAllLevels, this), "Check2");
}

// The choice between all files and the listed types, the list and its buttons, and OK.
void FolderFrm::BuildTypeControls()
{
    Option1 = Named(new QRadioButton(QStringLiteral("Scan All Files"), this), "Option1");
    Option2 = Named(new QRadioButton(QStringLiteral("Scans the following files"), this), "Option2");
    auto* filterGroup = new QButtonGroup(this);
    filterGroup->addButton(Option1);
    filterGroup->addButton(Option2);
    Option1->setChecked(true);

    FType = Named(new QTreeWidget(this), "FType");
    FType->setColumnCount(2);
    FType->setHeaderLabels({QStringLiteral("Extension"), QStringLiteral("Description")});
    FType->setRootIsDecorated(false);
    FType->setUniformRowHeights(true);
    FType->setColumnWidth(0, 90);
    cmdFileAdd = Named(new QPushButton(this), "cmdFileAdd");
    cmdFileAdd->setIcon(ResourceIcon(QStringLiteral("add")));
    cmdFileAdd->setToolTip(QStringLiteral("Add file type"));
    cmdFileDelete = Named(new QPushButton(this), "cmdFileDelete");
    cmdFileDelete->setIcon(ResourceIcon(QStringLiteral("remove")));
    cmdFileDelete->setToolTip(QStringLiteral("Delete file type"));
    cmdOK = Named(new QPushButton(QStringLiteral("OK"), this), "cmdOK");
    cmdOK->setDefault(true);
    cmdOK->setEnabled(false);
}

void FolderFrm::LayOutControls()
{
    auto* pathRow = new QHBoxLayout;
    pathRow->addWidget(Label1);
    pathRow->addWidget(Text1, 1);
    pathRow->addWidget(Command2);
    auto* levelRow = new QHBoxLayout;
    levelRow->addWidget(Check1);
    levelRow->addSpacing(16);
    levelRow->addWidget(Label2);
    levelRow->addWidget(Text2);
    levelRow->addWidget(Check2);
    levelRow->addStretch(1);
    auto* typeButtons = new QVBoxLayout;
    typeButtons->addWidget(cmdFileAdd);
    typeButtons->addWidget(cmdFileDelete);
    typeButtons->addStretch(1);
    auto* typeRow = new QHBoxLayout;
    typeRow->addWidget(FType, 1);
    typeRow->addLayout(typeButtons);
    auto* okRow = new QHBoxLayout;
    okRow->addStretch(1);
    okRow->addWidget(cmdOK);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(pathRow);
    layout->addLayout(levelRow);
    layout->addWidget(Option1);
    layout->addWidget(Option2);
    layout->addLayout(typeRow, 1);
    layout->addLayout(okRow);
}

void FolderFrm::ConnectControls()
{
    connect(Command2, &QPushButton::clicked, this, &FolderFrm::Browse);
    connect(Check1, &QCheckBox::clicked, this, &FolderFrm::SubFoldersClicked);
    connect(Check2, &QCheckBox::toggled, this, &FolderFrm::UpdateLevelBox);
    connect(Option1, &QRadioButton::toggled, this, &FolderFrm::FilterChoiceChanged);
    connect(cmdFileAdd, &QPushButton::clicked, this, &FolderFrm::AddFileType);
    connect(cmdFileDelete, &QPushButton::clicked, this, &FolderFrm::DeleteFileType);
    connect(cmdOK, &QPushButton::clicked, this, &FolderFrm::Accept);
}

void FolderFrm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // The folder browser opens over the freshly shown dialog, once per opening.
    if (!m_browsedOnOpen) {
        m_browsedOnOpen = true;
        QTimer::singleShot(0, this, [this] {
            if (isVisible())
                Browse();
        });
    }
}

void FolderFrm::Browse()
{
    Text1->setText(m_dialogs.ShowFolderBrowser(QStringLiteral("Choose Folder to Search"), false));
    cmdOK->setEnabled(!Text1->text().trimmed().isEmpty());
}

void FolderFrm::SubFoldersClicked()
{
    Check2->setEnabled(Check1->isChecked());
    UpdateLevelBox();
}

void FolderFrm::UpdateLevelBox()
{
    // The level box is only for a limited depth below a walk that enters sub-folders.
    const bool usable = Check1->isChecked() && !Check2->isChecked();
    Text2->setEnabled(usable);
    Label2->setEnabled(usable);
}

void FolderFrm::FilterChoiceChanged()
{
    const bool byType = Option2->isChecked();
    cmdFileAdd->setEnabled(byType);
    cmdFileDelete->setEnabled(byType && FType->topLevelItemCount() > 0);
    FType->setEnabled(byType);
}

void FolderFrm::FillTypes(const FileTypeList& types)
{
    FType->clear();
    for (const FileType& type : types)
        InsertType(FType->topLevelItemCount(), type);
}

void FolderFrm::InsertType(int index, const FileType& type)
{
    auto* item = new QTreeWidgetItem({type.extension, type.description});
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, Qt::Unchecked);
    FType->insertTopLevelItem(index, item);
}

FileTypeList FolderFrm::FileTypesShown() const
{
    FileTypeList types;
    for (int row = 0; row < FType->topLevelItemCount(); ++row) {
        const QTreeWidgetItem* item = FType->topLevelItem(row);
        types.append(FileType{item->text(0), item->text(1)});
    }
    return types;
}

void FolderFrm::AddFileType()
{
    const QString bare = BareExtension(m_dialogs.ShowInputBox(
        QStringLiteral("Please type File Extention"), QStringLiteral("File Types"), QString()));
    // Such a type would break the filter and the job line that hold it: refused, nothing moves.
    if (!IsSafeTypeText(bare)) {
        ShowError(UnsafeTypeTextMessage());
        return;
    }
    // Every answer moves the insert position on, an empty one too.
    if (m_addCounter < kMaxLevel)
        ++m_addCounter;
    if (!bare.isEmpty()) {
        const QString extension = QLatin1Char('.') + bare;
        const int index = std::min(m_addCounter - 1, FType->topLevelItemCount());
        InsertType(index, FileType{extension, FileTypeName(extension)});
        FilterChoiceChanged();
    }
    StoreTypes();
}

void FolderFrm::DeleteFileType()
{
    // Tabbing into the list makes its first row current without selecting it: only a row the
    // user selected goes.
    if (QTreeWidgetItem* item = FType->currentItem(); item && item->isSelected())
        delete item;
    cmdFileDelete->setEnabled(Option2->isChecked() && FType->topLevelItemCount() > 0);
    StoreTypes();
}

void FolderFrm::StoreTypes()
{
    SettingsStore store;
    if (!SaveFileTypes(store, FileTypesShown())) {
        ShowError(QStringLiteral("The file types could not be stored in ") + store.fileName() +
                  QStringLiteral(".\r\n") + store.errorString());
    }
}

void FolderFrm::ShowError(const QString& text)
{
    m_dialogs.ShowMessage(text, QStringLiteral("Error"), MessageIcon::Exclamation,
                          MessageButtons::Ok, MessageResult::Ok);
}

void FolderFrm::Accept()
{
    if (Text1->text().trimmed().isEmpty())
        return;
    QString level;
    if (Check1->isChecked()) {
        if (Check2->isChecked()) {
            level = kAllLevels;
        } else {
            // The scan would stop with a type mismatch on anything else; say so here instead.
            bool ok = false;
            const int number = Text2->text().trimmed().toInt(&ok);
            if (!ok || number < 0 || number > kMaxLevel) {
                ShowError(QStringLiteral("Level Deep must be a whole number from 0 to %1 "
                                         "(0 means no limit), or tick \"%2\".")
                              .arg(kMaxLevel)
                              .arg(kAllLevels));
                Text2->setFocus();
                Text2->selectAll();
                return;
            }
            level = QString::number(number);
        }
    }

    QString types = QStringLiteral("*.*");
    if (Option2->isChecked()) {
        QStringList ticked;
        for (int row = 0; row < FType->topLevelItemCount(); ++row) {
            const QTreeWidgetItem* item = FType->topLevelItem(row);
            if (item->checkState(0) == Qt::Checked)
                ticked.append(item->text(0));
        }
        if (ticked.isEmpty()) {
            ShowError(QStringLiteral("Please select at least one file type"));
            return;
        }
        types = ticked.join(QLatin1Char(';'));
    }

    Folder = Text1->text();
    SubFolder = YesNo(Check1->isChecked());
    Level = level;
    FileTypes = types;
    accept();
}

} // namespace quillon
