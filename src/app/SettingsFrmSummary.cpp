// The "Summaries" tab of the report settings dialog.
#include "app/SettingsFrm.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

namespace quillon {

namespace {

QCheckBox* AddCheck(QGroupBox* frame, const char* name, const QString& caption)
{
    auto* box = new QCheckBox(caption, frame);
    box->setObjectName(QString::fromLatin1(name));
    frame->layout()->addWidget(box);
    return box;
}

} // namespace

void SettingsFrm::BuildSummaryTab(QWidget* summaries)
{
    FrameSummaries = new QGroupBox(QStringLiteral("Summaries of the scan"), summaries);
    FrameSummaries->setObjectName(QStringLiteral("FrameSummaries"));
    new QVBoxLayout(FrameSummaries);
    s_Top = AddCheck(FrameSummaries, "s_Top", QStringLiteral("Largest files"));
    auto* countRow = new QHBoxLayout;
    auto* countLabel = new QLabel(QStringLiteral("How many"), FrameSummaries);
    s_TopCount = new QSpinBox(FrameSummaries);
    s_TopCount->setObjectName(QStringLiteral("s_TopCount"));
    s_TopCount->setRange(1, kMaxTopCount);
    countLabel->setBuddy(s_TopCount);
    countRow->addSpacing(20);
    countRow->addWidget(countLabel);
    countRow->addWidget(s_TopCount);
    countRow->addStretch(1);
    static_cast<QVBoxLayout*>(FrameSummaries->layout())->addLayout(countRow);
    s_Types = AddCheck(FrameSummaries, "s_Types", QStringLiteral("Totals by file type"));
    s_Duplicates = AddCheck(FrameSummaries, "s_Duplicates",
                            QStringLiteral("Duplicates (equal size and CRC32)"));
    s_SameBytes =
        AddCheck(FrameSummaries, "s_SameBytes", QStringLiteral("Compare duplicates byte for byte"));
    s_Alone = AddCheck(FrameSummaries, "s_Alone",
                       QStringLiteral("Summaries alone, without the report's lines"));
    // The count and the byte comparison mean something only with their summary.
    s_TopCount->setEnabled(false);
    s_SameBytes->setEnabled(false);
    connect(s_Top, &QCheckBox::toggled, s_TopCount, &QWidget::setEnabled);
    connect(s_Duplicates, &QCheckBox::toggled, s_SameBytes, &QWidget::setEnabled);
    auto* layout = new QVBoxLayout(summaries);
    layout->addWidget(FrameSummaries);
    layout->addStretch(1);
}

SummarySettings SettingsFrm::SummaryValues() const
{
    SummarySettings s;
    s.Top = s_Top->isChecked();
    s.TopCount = s_TopCount->value();
    s.Types = s_Types->isChecked();
    s.Duplicates = s_Duplicates->isChecked();
    s.SameBytes = s_SameBytes->isChecked();
    s.Alone = s_Alone->isChecked();
    return s;
}

void SettingsFrm::SetSummaryValues(const SummarySettings& s)
{
    s_Top->setChecked(s.Top);
    s_TopCount->setValue(s.TopCount);
    s_Types->setChecked(s.Types);
    s_Duplicates->setChecked(s.Duplicates);
    s_SameBytes->setChecked(s.SameBytes);
    s_Alone->setChecked(s.Alone);
}

} // namespace quillon
