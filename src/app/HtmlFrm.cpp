#include "app/HtmlFrm.h"

#include "output/HtmlExport.h"
#include "platform/ThrottledYield.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace quillon {

HtmlFrm::HtmlFrm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("HtmlFrm"));
    setWindowTitle(QStringLiteral("Exporting in html format.  Please wait..."));
    setModal(true);
    yield = ThrottledYield();

    auto* frame = new QGroupBox(QStringLiteral("Progress..."), this);
    progress = new QProgressBar(frame);
    progress->setObjectName(QStringLiteral("progress"));
    progress->setTextVisible(false);
    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->addWidget(progress);

    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    connect(cmdCancel, &QPushButton::clicked, this, &HtmlFrm::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addWidget(cmdCancel, 0, Qt::AlignRight);
    resize(380, 120);
}

HtmlFrm::~HtmlFrm() = default;

void HtmlFrm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!m_started) {
        m_started = true;
        QTimer::singleShot(0, this, &HtmlFrm::RunExport);
    }
}

void HtmlFrm::RunExport()
{
    HtmlExport exporter(stagingPath, HtmlFileName);
    exporter.setFont(fontName, fontSize);
    const int maximum = std::max(1, lineCount);
    progress->setRange(0, maximum);
    progress->setValue(1);
    exporter.setProgress(
        [this](int value, int max) {
            if (progress->maximum() != max)
                progress->setMaximum(max);
            progress->setValue(value);
        },
        maximum);
    exporter.setYield([this] {
        if (yield)
            yield();
    });
    m_export = &exporter;
    m_succeeded = exporter.run();
    m_cancelled = exporter.cancelled();
    m_error = exporter.errorString();
    m_export = nullptr;
    done(m_succeeded && !m_cancelled ? QDialog::Accepted : QDialog::Rejected);
}

void HtmlFrm::reject()
{
    // Cancel (or Escape) during the export stops it before its next line; the export then
    // ends and closes the form itself.
    if (m_export) {
        m_export->cancel();
        return;
    }
    QDialog::reject();
}

void HtmlFrm::closeEvent(QCloseEvent* event)
{
    if (m_export) {
        m_export->cancel();
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

} // namespace quillon
