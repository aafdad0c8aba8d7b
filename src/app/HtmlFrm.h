#pragma once

#include <QDialog>
#include <functional>

class QProgressBar;
class QPushButton;

namespace quillon {

class HtmlExport;

/// The small modal form that writes the web page from the staging file: a progress bar and
/// Cancel. The export starts as soon as the form is shown and the form closes when it ends.
class HtmlFrm : public QDialog {
    Q_OBJECT
public:
    explicit HtmlFrm(QWidget* parent = nullptr);
    ~HtmlFrm() override;

    /// The page to write; set before the form is shown.
    QString HtmlFileName;
    /// The staging file to read, the report font, and the pane's line count (progress maximum).
    QString stagingPath;
    QString fontName;
    QString fontSize;
    int lineCount = 0;
    /// Lets the window's events run between lines (throttled); tests may replace it.
    std::function<void()> yield;

    /// After the form has closed: false when the page could not be written (errorString says
    /// why; an earlier page at that path is left whole). A cancelled export counts as written.
    bool succeeded() const { return m_succeeded; }
    bool cancelled() const { return m_cancelled; }
    const QString& errorString() const { return m_error; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void reject() override;

private:
    void RunExport();

    QProgressBar* progress;
    QPushButton* cmdCancel;

    HtmlExport* m_export = nullptr; ///< set while the export runs
    bool m_started = false;
    bool m_succeeded = false;
    bool m_cancelled = false;
    QString m_error;
};

} // namespace quillon
