#pragma once

#include <QString>

namespace quillon {

/// The staging file of one run. Every run (a batch run, each scan of a window) lays its report
/// out into a file of its own beside the shared "tmpfile.dmp", reads its outputs from there,
/// and then publishes it: tmpfile.dmp is replaced in one step (a hard link renamed into place,
/// or a complete copy), so it always holds one whole report, and another run that replaces
/// it meanwhile can never swap its report into this run's output.
class OwnStaging {
public:
    /// A new name beside sharedPath ("tmpfile.dmp.<pid>.<n>.<random>"); nothing is created.
    explicit OwnStaging(QString sharedPath);
    /// Removes this run's file (the published tmpfile.dmp stays).
    ~OwnStaging();
    OwnStaging(const OwnStaging&) = delete;
    OwnStaging& operator=(const OwnStaging&) = delete;

    /// Where the layout writes this run's report.
    const QString& path() const { return m_path; }
    const QString& sharedPath() const { return m_sharedPath; }

    /// Puts this run's report in place of the shared file. False, with *error set when given,
    /// when that fails; the shared file is then left as it was.
    bool publish(QString* error = nullptr) const;

private:
    QString m_sharedPath;
    QString m_path;
};

} // namespace quillon
