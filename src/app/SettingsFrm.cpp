#include "app/SettingsFrm.h"

#include "app/Dialogs.h"
#include "output/SaveFailureText.h"
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
#include <span>

namespace quillon {

namespace {

// One check box: its control, name and caption, and the setting it holds.
struct CheckRow {
    QCheckBox* SettingsFrm::*box;
    const char* name;
    const char* caption;
    bool ReportSettings::*value;
};

const CheckRow kListOptions[] = {
    {&SettingsFrm::v_FullPath, "v_FullPath", "Full path", &ReportSettings::FullPath},
    {&SettingsFrm::v_ListInUpper, "v_ListInUpper", "List in upper case",
     &ReportSettings::ListInUpper},
    {&SettingsFrm::v_ListInLower, "v_ListInLower", "List in lowercase",
     &ReportSettings::ListInLower},
    {&SettingsFrm::v_IncludeFolderTitle, "v_IncludeFolderTitle",
     "Include Folder Title (Directory of)", &ReportSettings::IncludeFolderTitle},
    {&SettingsFrm::v_IncludeSeparator, "v_IncludeSeparator",
     "Include Separator (--------------------)", &ReportSettings::IncludeSeparator},
    {&SettingsFrm::v_IncludeFolderSum, "v_IncludeFolderSum", "Include folder summary",
     &ReportSettings::IncludeFolderSum},
    {&SettingsFrm::v_IncludeFullSum, "v_IncludeFullSum", "Include full summary",
     &ReportSettings::IncludeFullSum},
    {&SettingsFrm::v_KeepAllCharacters, "v_KeepAllCharacters", "Keep every character of names",
     &ReportSettings::KeepAllCharacters},
};

const CheckRow kSizeOptions[] = {
    {&SettingsFrm::v_FolderTotals, "v_FolderTotals",
     "Folder totals (size and files with everything below)", &ReportSettings::FolderTotals},
    {&SettingsFrm::v_SortFoldersByTotal, "v_SortFoldersByTotal",
     "Sort folders by total size (in the sort direction)", &ReportSettings::SortFoldersByTotal},
    {&SettingsFrm::v_IncludeHidden, "v_IncludeHidden", "Include hidden files (names with \".\")",
     &ReportSettings::IncludeHidden},
    {&SettingsFrm::v_OneFileSystem, "v_OneFileSystem", "Stay on the location's file system",
     &ReportSettings::OneFileSystem},
    {&SettingsFrm::v_CountHardLinksOnce, "v_CountHardLinksOnce", "Count hard links once",
     &ReportSettings::CountHardLinksOnce},
    {&SettingsFrm::v_SizeOnDisk, "v_SizeOnDisk", "Size on disk (allocated blocks)",
     &ReportSettings::SizeOnDisk},
};

// The detail columns' boxes come from their table; this one follows the MP3 columns.
const CheckRow kMp3Options[] = {
    {&SettingsFrm::f_RemoveBlankSpaces, "f_RemoveBlankSpaces", "Remove blank spaces",
     &ReportSettings::RemoveBlankSpaces},
};

const std::span<const CheckRow> kAllChecks[] = {kListOptions, kSizeOptions, kMp3Options};

// A frame holding its controls one below the other.
QGroupBox* AddFrame(const QString& caption, const char* name, QWidget* parent)
{
    auto* box = new QGroupBox(caption, parent);
    box->setObjectName(QString::fromLatin1(name));
    new QVBoxLayout(box);
    return box;
}

QCheckBox* AddCheck(const char* name, const char* caption, QGroupBox* frame)
{
    auto* box = new QCheckBox(QString::fromLatin1(caption), frame);
    box->setObjectName(QString::fromLatin1(name));
    frame->layout()->addWidget(box);
    return box;
}

void AddChecks(SettingsFrm& form, std::span<const CheckRow> rows, QGroupBox* frame)
{
    for (const CheckRow& row : rows)
        form.*row.box = AddCheck(row.name, row.caption, frame);
}

} // namespace

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
    BuildGeneralTab(general);
    BuildFieldsTab(fields);
    auto* summaries = new QWidget(SSTab1);
    SSTab1->addTab(summaries, QStringLiteral("Summaries"));
    BuildSummaryTab(summaries);
    BuildOkButton();

    // Upper and lower case exclude each other; unticking one leaves the other alone.
    connect(v_ListInUpper, &QCheckBox::clicked, this, [this](bool on) {
        if (on)
            v_ListInLower->setChecked(false);
    });
    connect(v_ListInLower, &QCheckBox::clicked, this, [this](bool on) {
        if (on)
            v_ListInUpper->setChecked(false);
    });

    Load();
}

void SettingsFrm::BuildGeneralTab(QWidget* general)
{
    FrameListOptions = AddFrame(QStringLiteral("List options"), "FrameListOptions", general);
    AddChecks(*this, kListOptions, FrameListOptions);

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
    // Its own group, after the list options in the tab order.
    FrameSizes = AddFrame(QStringLiteral("What is big here"), "FrameSizes", general);
    AddChecks(*this, kSizeOptions, FrameSizes);
    generalLayout->addWidget(FrameSizes);
    generalLayout->addStretch(1);
}

void SettingsFrm::BuildFieldsTab(QWidget* fields)
{
    FrameGeneralFields = AddFrame(QStringLiteral("General Fields"), "FrameGeneralFields", fields);
    FrameMp3 = AddFrame(QStringLiteral("MP3 (IDE3)"), "FrameMp3", fields);
    for (const DetailColumnRow& row : kDetailColumns)
        m_columnBoxes[static_cast<std::size_t>(row.column)] =
            AddCheck(row.control, row.caption, row.mp3Frame ? FrameMp3 : FrameGeneralFields);
    AddChecks(*this, kMp3Options, FrameMp3);
    auto* fieldsLayout = new QHBoxLayout(fields);
    fieldsLayout->addWidget(FrameGeneralFields, 0, Qt::AlignTop);
    fieldsLayout->addWidget(FrameMp3, 0, Qt::AlignTop);
}

void SettingsFrm::BuildOkButton()
{
    Command1 = new QPushButton(QStringLiteral("OK"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setDefault(true);
    auto* okRow = new QHBoxLayout;
    okRow->addStretch(1);
    okRow->addWidget(Command1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(SSTab1, 1);
    layout->addLayout(okRow);
    connect(Command1, &QPushButton::clicked, this, [this] {
        Save();
        accept();
    });
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
    for (const auto& rows : kAllChecks)
        for (const CheckRow& row : rows)
            s.*row.value = (this->*row.box)->isChecked();
    for (const DetailColumnRow& row : kDetailColumns)
        s.Fields[row.column] = columnBox(row.column)->isChecked();
    s.ColSize = v_ColSize->currentText();
    s.ShowSizeIn = v_ShowSizeIn->currentText();
    s.Summary = SummaryValues();
    return s;
}

void SettingsFrm::SetValues(const ReportSettings& s)
{
    for (const auto& rows : kAllChecks)
        for (const CheckRow& row : rows)
            (this->*row.box)->setChecked(s.*row.value);
    for (const DetailColumnRow& row : kDetailColumns)
        columnBox(row.column)->setChecked(s.Fields[row.column]);
    SelectChoice(v_ColSize, s.ColSize);
    SelectChoice(v_ShowSizeIn, s.ShowSizeIn);
    SetSummaryValues(s.Summary);
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
    m_dialogs.ShowMessage(
        SaveFailureText(QStringLiteral("settings"), store.fileName(), store.errorString()),
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
