#pragma once

#include "platform/RuntimeTuning.h"

#include <QTextEdit>
#include <memory>

namespace quillon {

/// The report pane. Whatever way text comes in (Paste, the middle mouse button, drag and
/// drop), it arrives as plain text in the format at the insertion point, so a paste never
/// brings another program's fonts and colours into the report.
class ReportPane : public QTextEdit {
    Q_OBJECT
public:
    explicit ReportPane(QWidget* parent = nullptr);

    /// A new document to be filled and then shown in the pane. Qt's layout goes over every
    /// block of a document each time its page size, its wrapping or its layout is set, in one
    /// call: the document gets the pane's wrapping and its layout while it is still empty, and
    /// a null page size so that filling it lays nothing out. Shown, it costs one such pass
    /// (the pane's page size) instead of four, which a million-line report needs.
    static std::unique_ptr<QTextDocument> NewDocument(const QFont& font);

    /// Keeps the background layout of the document shown in short steps (see LayoutPacer);
    /// call it whenever another document is shown.
    void PaceLayout();

protected:
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    LayoutPacer m_pacer;
};

} // namespace quillon
