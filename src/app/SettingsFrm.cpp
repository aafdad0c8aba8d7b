#include "app/SettingsFrm.h"

#include "output/Dialogs.h"
#include "platform/SettingsStore.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace quillon {

SettingsFrm::SettingsFrm(Dialogs& dialogs, QWidget* parent) : QDialog(parent), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("SettingsFrm"));
    setWindowTitle(QStringLiteral("Settings"));
    setModal(true);

    SSTab1 = new QTabWidget(this);
    SSTab1->setObjectName(QStringLiteral("SSTab1"));
    auto* general = new QWidget(SSTab1);
    auto* fields = new QWidget(SSTab1);
    SSTab1->addTab(general, QStringLiteral("General"));
    SSTab1->addTab(fields, QStringLiteral("Printing Fields"));

    auto frame = [](const QString& caption, const char* name, QWidget* parent) {
        auto* box = new QGroupBox(caption, parent);
        box->setObjectName(QString::fromLatin1(name));
        return box;
    };
    auto check = [](const char* name, const QString& caption, QGroupBox* parent) {
        auto* box = new QCheckBox(caption, parent);
        box->setObjectName(QString::fromLatin1(name));
        parent->layout()->addWidget(box);
        return box;
    };

    FrameListOptions = frame(QStringLiteral("List options"), "FrameListOptions", general);
    new QVBoxLayout(FrameListOptions);
    v_FullPath = check("v_FullPath", QStringLiteral("Full path"), FrameListOptions);
    v_ListInUpper = check("v_ListInUpper", QStringLiteral("List in upper case"), FrameListOptions);
    v_ListInLower = check("v_ListInLower", QStringLiteral("List in lowercase"), FrameListOptions);
    v_IncludeFolderTitle =
        check("v_IncludeFolderTitle", QStringLiteral("Include Folder Title (Directory of)"),
              FrameListOptions);
    v_IncludeSeparator =
        check("v_IncludeSeparator", QStringLiteral("Include Separator (--------------------)"),
              FrameListOptions);
    v_IncludeFolderSum =
        check("v_IncludeFolderSum", QStringLiteral("Include folder summary"), FrameListOptions);
    v_IncludeFullSum =
        check("v_IncludeFullSum", QStringLiteral("Include full summary"), FrameListOptions);
    v_KeepAllCharacters = check("v_KeepAllCharacters",
                                QStringLiteral("Keep every character of names"), FrameListOptions);

    lblColSize = new QLabel(QStringLiteral("Column Size"), FrameListOptions);
    lblColSize->setObjectName(QStringLiteral("lblColSize"));
    v_ColSize = new QComboBox(FrameListOptions);
    v_ColSize->setObjectName(QStringLiteral("v_ColSize"));
    for (int size = 30; size <= 80; size += 5)
        v_ColSize->addItem(QString::number(size));
    lblColSize->setBuddy(v_ColSize);
    lblShowSizeIn = new QLabel(QStringLiteral("Show Size in"), FrameListOptions);
    lblShowSizeIn->setObjectName(QStringLiteral("lblShowSizeIn"));
    v_ShowSizeIn = new QComboBox(FrameListOptions);
    v_ShowSizeIn->setObjectName(QStringLiteral("v_ShowSizeIn"));
    v_ShowSizeIn->addItems({QStringLiteral("Bytes"), QStringLiteral("KB"), QStringLiteral("MB"),
                            QStringLiteral("GB")});
    lblShowSizeIn->setBuddy(v_ShowSizeIn);
    auto* choices = new QGridLayout;
    choices->addWidget(lblColSize, 0, 0);
    choices->addWidget(v_ColSize, 0, 1);
    choices->addWidget(lblShowSizeIn, 1, 0);
    choices->addWidget(v_ShowSizeIn, 1, 1);
    choices->setColumnStretch(2, 1);
    static_cast<QVBoxLayout*>(FrameListOptions->layout())->addLayout(choices);
    auto* generalLayout = new QVBoxLayout(general);
    generalLayout->addWidget(FrameListOptions);
    generalLayout->addStretch(1);

    FrameGeneralFields = frame(QStringLiteral("General Fields"), "FrameGeneralFields", fields);
    new QVBoxLayout(FrameGeneralFields);
    f_Filename = check("f_Filename", QStringLiteral("File Name"), FrameGeneralFields);
    f_Size = check("f_Size", QStringLiteral("Size"), FrameGeneralFields);
    f_Date = check("f_Date", QStringLiteral("Date"), FrameGeneralFields);
    f_Time = check("f_Time", QStringLiteral("Time"), FrameGeneralFields);
    f_Attribute = check("f_Attribute", QStringLiteral("Attribute"), FrameGeneralFields);
    f_Version = check("f_Version", QStringLiteral("Version"), FrameGeneralFields);
    f_Owner = check("f_Owner", QStringLiteral("Owner"), FrameGeneralFields);
    f_CRC32 = check("f_CRC32", QStringLiteral("CRC32"), FrameGeneralFields);
    FrameMp3 = frame(QStringLiteral("MP3 (IDE3)"), "FrameMp3", fields);
    new QVBoxLayout(FrameMp3);
    f_Title = check("f_Title", QStringLiteral("Title"), FrameMp3);
    f_Artist = check("f_Artist", QStringLiteral("Artist"), FrameMp3);
    f_Album = check("f_Album", QStringLiteral("Album"), FrameMp3);
    f_Year = check("f_Year", QStringLiteral("Year"), FrameMp3);
    f_Genre = check("f_Genre", QStringLiteral("Genre"), FrameMp3);
    f_Comment = check("f_Comment", QStringLiteral("Comment"), FrameMp3);
    f_RemoveBlankSpaces =
        check("f_RemoveBlankSpaces", QStringLiteral("Remove blank spaces"), FrameMp3);
    auto* fieldsLayout = new QHBoxLayout(fields);
    fieldsLayout->addWidget(FrameGeneralFields, 0, Qt::AlignTop);
    fieldsLayout->addWidget(FrameMp3, 0, Qt::AlignTop);

    Command1 = new QPushButton(QStringLiteral("OK"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setDefault(true);
    auto* okRow = new QHBoxLayout;
    okRow->addStretch(1);
    okRow->addWidget(Command1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(SSTab1, 1);
    layout->addLayout(okRow);

    // Upper and lower case exclude each other; unticking one leaves the other alone.
    connect(v_ListInUpper, &QCheckBox::clicked, this, [this](bool on) {
        if (on)
            v_ListInLower->setChecked(false);
    });
    connect(v_ListInLower, &QCheckBox::clicked, this, [this](bool on) {
        if (on)
            v_ListInUpper->setChecked(false);
    });
    connect(Command1, &QPushButton::clicked, this, [this] {
        Save();
        accept();
    });

    Load();
}

void SettingsFrm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    SSTab1->setCurrentIndex(0);
    v_FullPath->setFocus();
}

void SettingsFrm::SelectChoice(QComboBox* box, const QString& text)
{
    // A stored value the list does not offer (an edited settings file) is kept, not replaced.
    int index = box->findText(text);
    if (index < 0) {
        box->addItem(text);
        index = box->count() - 1;
    }
    box->setCurrentIndex(index);
}

ReportSettings SettingsFrm::Values() const
{
    ReportSettings s;
    s.FullPath = v_FullPath->isChecked();
    s.ListInUpper = v_ListInUpper->isChecked();
    s.ListInLower = v_ListInLower->isChecked();
    s.IncludeFolderTitle = v_IncludeFolderTitle->isChecked();
    s.IncludeSeparator = v_IncludeSeparator->isChecked();
    s.IncludeFolderSum = v_IncludeFolderSum->isChecked();
    s.IncludeFullSum = v_IncludeFullSum->isChecked();
    s.KeepAllCharacters = v_KeepAllCharacters->isChecked();
    s.ColSize = v_ColSize->currentText();
    s.ShowSizeIn = v_ShowSizeIn->currentText();
    s.Filename = f_Filename->isChecked();
    s.Size = f_Size->isChecked();
    s.Date = f_Date->isChecked();
    s.Time = f_Time->isChecked();
    s.Attribute = f_Attribute->isChecked();
    s.Version = f_Version->isChecked();
    s.Owner = f_Owner->isChecked();
    s.CRC32 = f_CRC32->isChecked();
    s.Title = f_Title->isChecked();
    s.Artist = f_Artist->isChecked();
    s.Album = f_Album->isChecked();
    s.Year = f_Year->isChecked();
    s.Genre = f_Genre->isChecked();
    s.Comment = f_Comment->isChecked();
    s.RemoveBlankSpaces = f_RemoveBlankSpaces->isChecked();
    return s;
}

void SettingsFrm::SetValues(const ReportSettings& s)
{
    v_FullPath->setChecked(s.FullPath);
    v_ListInUpper->setChecked(s.ListInUpper);
    v_ListInLower->setChecked(s.ListInLower);
    v_IncludeFolderTitle->setChecked(s.IncludeFolderTitle);
    v_IncludeSeparator->setChecked(s.IncludeSeparator);
    v_IncludeFolderSum->setChecked(s.IncludeFolderSum);
    v_IncludeFullSum->setChecked(s.IncludeFullSum);
    v_KeepAllCharacters->setChecked(s.KeepAllCharacters);
    SelectChoice(v_ColSize, s.ColSize);
    SelectChoice(v_ShowSizeIn, s.ShowSizeIn);
    f_Filename->setChecked(s.Filename);
    f_Size->setChecked(s.Size);
    f_Date->setChecked(s.Date);
    f_Time->setChecked(s.Time);
    f_Attribute->setChecked(s.Attribute);
    f_Version->setChecked(s.Version);
    f_Owner->setChecked(s.Owner);
    f_CRC32->setChecked(s.CRC32);
    f_Title->setChecked(s.Title);
    f_Artist->setChecked(s.Artist);
    f_Album->setChecked(s.Album);
    f_Year->setChecked(s.Year);
    f_Genre->setChecked(s.Genre);
    f_Comment->setChecked(s.Comment);
    f_RemoveBlankSpaces->setChecked(s.RemoveBlankSpaces);
}

void SettingsFrm::Load()
{
    const SettingsStore store;
    SetValues(LoadReportSettings(store));
}

bool SettingsFrm::Save()
{
    SettingsStore store;
    SaveReportSettings(Values(), store);
    if (store.sync())
        return true;
    m_dialogs.ShowMessage(QStringLiteral("The settings could not be saved to ") + store.fileName() +
                              QStringLiteral(".\r\n") + store.errorString(),
                          QStringLiteral("Settings"), MessageIcon::Exclamation, MessageButtons::Ok,
                          MessageResult::Ok);
    return false;
}

void SettingsFrm::reject()
{
    Load();
    QDialog::reject();
}

} // namespace quillon
