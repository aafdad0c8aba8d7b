#include "app/ExcludeFrm.h"

#include "app/Dialogs.h"
#include "app/WidgetNames.h"
#include "output/SaveFailureText.h"
#include "scan/FileTypes.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTabWidget>
#include <QVBoxLayout>

namespace quillon {

namespace {

QStringList Entries(const QListWidget* list)
{
    QStringList entries;
    entries.reserve(list->count());
    for (int row = 0; row < list->count(); ++row)
        entries.append(list->item(row)->text());
    return entries;
}

// Only letters and digits make an extension entry; every other typed sign is refused.
bool IsExtensionCharacter(QChar c)
{
    const QChar upper = c.toUpper();
    return (upper >= QLatin1Char('A') && upper <= QLatin1Char('Z')) ||
           (upper >= QLatin1Char('0') && upper <= QLatin1Char('9'));
}

} // namespace

namespace {

QPushButton* Button(const char* name, const QString& caption, QWidget* parent)
{
    return Named(new QPushButton(caption, parent), name);
}

// One page per list: the entry row (text box or nothing, Add), the list, Remove below.
void LayOutPage(QWidget* tab, QLabel* label, QLineEdit* text, QPushButton* add, QListWidget* list,
                QPushButton* remove, QCheckBox* extra)
{
    auto* layout = new QGridLayout(tab);
    layout->addWidget(label, 0, 0, 1, 2);
    if (text)
        layout->addWidget(text, 1, 0);
    layout->addWidget(add, 1, 1);
    layout->addWidget(list, 2, 0);
    auto* side = new QVBoxLayout;
    side->addWidget(remove);
    side->addStretch(1);
    layout->addLayout(side, 2, 1);
    if (extra)
        layout->addWidget(extra, 3, 0, 1, 2);
}

} // namespace

ExcludeFrm::ExcludeFrm(Dialogs& dialogs, QString path, QWidget* parent)
    : QDialog(parent), m_dialogs(dialogs), m_path(std::move(path))
{
    setObjectName(QStringLiteral("ExcludeFrm"));
    setWindowTitle(QStringLiteral("Exclusion List"));
    setModal(true);

    SSTab1 = Named(new QTabWidget(this), "SSTab1");
    QWidget* const files = BuildFileNamesPage();
    QWidget* const folders = BuildFoldersPage();
    QWidget* const extensions = BuildExtensionsPage();
    Command6 = Button("Command6", QStringLiteral("&OK"), this);
    Command6->setAutoDefault(false);

    LayOutPage(files, Label1, txtFileName, cmdFileAdd, lstFileName, cmdFileRemove, nullptr);
    LayOutPage(folders, Label2, nullptr, cmdFolderAdd, lstFolder, cmdFolderRemove,
               chkFolderSubFolder);
    LayOutPage(extensions, Label3, txtExtension, cmdExtensionAdd, lstExtension, cmdExtensionRemove,
               nullptr);
    SSTab1->addTab(files, QStringLiteral("File Names"));
    SSTab1->addTab(folders, QStringLiteral("Folders"));
    SSTab1->addTab(extensions, QStringLiteral("Extensions"));

    auto* okRow = new QHBoxLayout;
    okRow->addStretch(1);
    okRow->addWidget(Command6);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(SSTab1, 1);
    layout->addLayout(okRow);
    resize(420, 340);

    ConnectControls();
    LoadExclusionList();
}

QWidget* ExcludeFrm::BuildFileNamesPage()
{
    auto* files = new QWidget(SSTab1);
    Label1 =
        Named(new QLabel(QStringLiteral("Ignore these filenames from scanning"), files), "Label1");
    txtFileName = Named(new QLineEdit(files), "txtFileName");
    cmdFileAdd = Button("cmdFileAdd", QStringLiteral("Add"), files);
    lstFileName = Named(new QListWidget(files), "lstFileName");
    cmdFileRemove = Button("cmdFileRemove", QStringLiteral("Remove"), files);
    return files;
}

QWidget* ExcludeFrm::BuildFoldersPage()
{
    auto* folders = new QWidget(SSTab1);
    Label2 =
        Named(new QLabel(QStringLiteral("Ignore these folders from scanning"), folders), "Label2");
    cmdFolderAdd = Button("cmdFolderAdd", QStringLiteral("Add"), folders);
    lstFolder = Named(new QListWidget(folders), "lstFolder");
    cmdFolderRemove = Button("cmdFolderRemove", QStringLiteral("Remove"), folders);
    chkFolderSubFolder =
        Named(new QCheckBox(QStringLiteral("Include Sub Folders"), folders), "chkFolderSubFolder");
    return folders;
}

QWidget* ExcludeFrm::BuildExtensionsPage()
{
    auto* extensions = new QWidget(SSTab1);
    Label3 =
        Named(new QLabel(QStringLiteral("Ignore these file extensions from scanning"), extensions),
              "Label3");
    txtExtension = Named(new QLineEdit(extensions), "txtExtension");
    txtExtension->installEventFilter(this);
    // Typed signs are sifted by the event filter; a paste or drop holding anything but letters
    // and digits is refused whole, with the reason.
    txtExtension->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[A-Za-z0-9]*")), txtExtension));
    connect(txtExtension, &QLineEdit::inputRejected, this, &ExcludeFrm::ShowRefusal);
    cmdExtensionAdd = Button("cmdExtensionAdd", QStringLiteral("Add"), extensions);
    lstExtension = Named(new QListWidget(extensions), "lstExtension");
    cmdExtensionRemove = Button("cmdExtensionRemove", QStringLiteral("Remove"), extensions);
    return extensions;
}

void ExcludeFrm::ConnectControls()
{
    connect(cmdFileAdd, &QPushButton::clicked, this, &ExcludeFrm::AddFileName);
    connect(txtFileName, &QLineEdit::returnPressed, this, &ExcludeFrm::AddFileName);
    connect(cmdFolderAdd, &QPushButton::clicked, this, &ExcludeFrm::AddFolder);
    connect(cmdExtensionAdd, &QPushButton::clicked, this, &ExcludeFrm::AddExtension);
    connect(txtExtension, &QLineEdit::returnPressed, this, &ExcludeFrm::AddExtension);
    for (auto [list, remove] :
         {std::pair{lstFileName, cmdFileRemove}, std::pair{lstFolder, cmdFolderRemove},
          std::pair{lstExtension, cmdExtensionRemove}}) {
        connect(remove, &QPushButton::clicked, this, [this, list = list] {
            // Removing with nothing selected does nothing.
            if (QListWidgetItem* item = list->currentItem(); item && item->isSelected())
                delete item;
            UpdateRemoveButtons();
        });
    }
    connect(Command6, &QPushButton::clicked, this, [this] {
        SaveExclusionList();
        accept();
    });
}

ExclusionList ExcludeFrm::List() const
{
    ExclusionList list;
    list.fileNames = Entries(lstFileName);
    list.folders = Entries(lstFolder);
    list.extensions = Entries(lstExtension);
    list.includeSubFolders = chkFolderSubFolder->isChecked();
    return list;
}

void ExcludeFrm::LoadExclusionList()
{
    m_refused.clear();
    const ExclusionList list = quillon::LoadExclusionList(m_path, &m_refused);
    if (!m_refused.isEmpty())
        m_dialogs.ShowMessage(m_refused + QStringLiteral(".\r\nIt is left as it is."),
                              QStringLiteral("Exclusion List"), MessageIcon::Exclamation,
                              MessageButtons::Ok, MessageResult::Ok);
    lstFileName->clear();
    lstFileName->addItems(list.fileNames);
    lstFolder->clear();
    lstFolder->addItems(list.folders);
    lstExtension->clear();
    lstExtension->addItems(list.extensions);
    chkFolderSubFolder->setChecked(false);
    UpdateRemoveButtons();
}

bool ExcludeFrm::SaveExclusionList()
{
    QString error = m_refused;
    if (error.isEmpty() && quillon::SaveExclusionList(List(), m_path, &error))
        return true;
    m_dialogs.ShowMessage(SaveFailureText(QStringLiteral("exclusion list"), m_path, error),
                          QStringLiteral("Exclusion List"), MessageIcon::Exclamation,
                          MessageButtons::Ok, MessageResult::Ok);
    return false;
}

void ExcludeFrm::reject()
{
    // An unsaved list is kept as it stands rather than lost to the reload.
    if (SaveExclusionList())
        LoadExclusionList();
    QDialog::reject();
}

void ExcludeFrm::AddFileName()
{
    if (!txtFileName->text().trimmed().isEmpty()) {
        lstFileName->addItem(txtFileName->text());
        txtFileName->clear();
        txtFileName->setFocus();
    }
    UpdateRemoveButtons();
}

void ExcludeFrm::AddFolder()
{
    const QString folder =
        m_dialogs.ShowFolderBrowser(QStringLiteral("Choose Folder to exclude"), false);
    if (folder.isEmpty())
        return;
    for (const QString& entry : Entries(lstFolder)) {
        if (entry.toLower() == folder.toLower())
            return;
    }
    lstFolder->addItem(folder);
    UpdateRemoveButtons();
}

void ExcludeFrm::AddExtension()
{
    if (!txtExtension->text().trimmed().isEmpty()) {
        lstExtension->addItem(QStringLiteral("*.") + txtExtension->text());
        txtExtension->clear();
        txtExtension->setFocus();
    }
    UpdateRemoveButtons();
}

void ExcludeFrm::ShowRefusal()
{
    m_dialogs.ShowMessage(UnsafeTypeTextMessage() +
                              QStringLiteral(" An extension is made of letters and digits only."),
                          QStringLiteral("Exclusion List"), MessageIcon::Exclamation,
                          MessageButtons::Ok, MessageResult::Ok);
}

void ExcludeFrm::UpdateRemoveButtons()
{
    cmdFileRemove->setEnabled(lstFileName->count() > 0);
    cmdFolderRemove->setEnabled(lstFolder->count() > 0);
    cmdExtensionRemove->setEnabled(lstExtension->count() > 0);
}

bool ExcludeFrm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == txtExtension && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        // Keys that type nothing (arrows, Home) and control keys (Backspace, Ctrl+V) pass;
        // pasted text is not filtered.
        const bool typesText = !text.isEmpty() && text.at(0).isPrint();
        if (typesText && !std::all_of(text.begin(), text.end(), IsExtensionCharacter)) {
            if (!IsSafeTypeText(text))
                ShowRefusal();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace quillon
