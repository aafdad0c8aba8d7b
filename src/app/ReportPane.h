#pragma once

#include <QTextEdit>

namespace quillon {

/// The report pane. Whatever way text comes in (Paste, the middle mouse button, drag and
/// drop), it arrives as plain text in the format at the insertion point, so a paste never
/// brings another program's fonts and colours into the report.
class ReportPane : public QTextEdit {
    Q_OBJECT
public:
    explicit ReportPane(QWidget* parent = nullptr);

protected:
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
};

} // namespace quillon
