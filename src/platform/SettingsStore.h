#pragma once

#include <QHash>
#include <QSettings>
#include <QString>
#include <QStringList>
#include <memory>

class QTemporaryDir;

namespace quillon {

/// The per-user settings: $XDG_CONFIG_HOME/Tessaly/Quillon.ini, one group per section
/// ("Settings", "Fields", "WindowSize", "Margins", "File Types"), every value a string.
/// Every value is read as plain text and names are compared without regard to case
/// (PlainIniFormat). QSettings writes through a temporary file, so a failed write keeps the
/// old file. A settings file that is not a regular file or is too large is neither read nor
/// replaced: the store then holds the defaults and sync() fails with the reason. The file is
/// read in time linear in its size and bounded by kSettingsFileLimit.
class SettingsStore {
public:
    SettingsStore();
    ~SettingsStore();

    /// The stored text, or fallback when the key is missing.
    QString value(const QString& section, const QString& key, const QString& fallback = {}) const;
    void setValue(const QString& section, const QString& key, const QString& value);

    /// The stored whole number, or fallback when the key is missing or not a whole number.
    int intValue(const QString& section, const QString& key, int fallback) const;

    bool hasSection(const QString& section) const;
    void removeSection(const QString& section);

    /// Values named "1", "2", ... in numeric order of their names ("10" after "9").
    QStringList numberedValues(const QString& section) const;
    /// Replaces the section by the values named "1" to "n".
    void setNumberedValues(const QString& section, const QStringList& values);

    /// Writes pending changes; false (with errorString) when the file could not be written.
    bool sync();
    QString errorString() const;

    /// Path of the settings file (for messages and tests).
    QString fileName() const;

private:
    static QString keyOf(const QString& section, const QString& key);
    /// The name as the file spells it (names are compared without regard to case).
    QString storedKey(const QString& section, const QString& key) const;
    QStringList storedSections(const QString& section) const;
    void reindex();

    std::unique_ptr<QTemporaryDir> m_scratch; ///< holds the file of an unusable store
    std::unique_ptr<QSettings> m_settings;
    QString m_unusable; ///< why the user's file is left alone; empty when it is used
    /// Each name folded to one case -> its spellings in the file (names ignore case).
    QHash<QString, QStringList> m_spellings;
};

} // namespace quillon
