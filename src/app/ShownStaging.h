#pragma once

#include <QString>
#include <QThreadPool>
#include <memory>

namespace quillon {

class OwnStaging;

/// The staging file of the report the window shows (Save As reads it for a web page).
/// Taking a new one publishes it as the shared file and deletes the one before. Each of these
/// frees a whole report's blocks on disk, tens of milliseconds for a million lines and more on
/// a slow disk, so they run in order on a thread of their own while the window goes on.
class ShownStaging {
public:
    ShownStaging();
    /// Waits for the chores still running; the shown report's file is deleted.
    ~ShownStaging();
    ShownStaging(const ShownStaging&) = delete;
    ShownStaging& operator=(const ShownStaging&) = delete;

    /// Shows staging's report: published, and the file before it let go.
    void Take(std::unique_ptr<OwnStaging> staging);
    /// The shown report's file; empty before the first report.
    QString path() const;
    /// Returns once the shared file is published and the files let go are deleted.
    void Settle();

private:
    std::shared_ptr<OwnStaging> m_shown;
    QThreadPool m_chores; // one thread, so publishing keeps the order of the reports
};

} // namespace quillon
