#include "platform/SettingsStore.h"

#include "platform/BoundedRead.h"
#include "platform/PlainIniFormat.h"
#include "platform/ProgramNames.h"

#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <sys/stat.h>

namespace quillon {

namespace {

QString SettingsFileName()
{
    return QString(kProgramName) + QLatin1String(".ini");
}

// Where QSettings keeps the user's file for this organisation and program.
QString UserSettingsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QLatin1Char('/') + kMakerName + QLatin1Char('/') + SettingsFileName();
}

// QSettings would open a FIFO or device in the file's place and wait on it for ever, or read a
// huge file whole: such a file is left alone. The check is made on an opened descriptor.
QString UnusableReason(const QString& path)
{
    QFile file;
    SmallFileError error = SmallFileError::None;
    QString reason;
    if (!OpenRegularFile(path, file, &error, &reason)) {
        if (error == SmallFileError::NotRegular)
            return QStringLiteral("The settings file %1 is not a regular file.").arg(path);
        return {}; // missing, or unreadable: QSettings says so when it writes
    }
    if (file.size() > kSettingsFileLimit)
        return QStringLiteral("The settings file %1 is larger than %2 bytes, the most a "
                              "settings file holds; it is left as it is.")
            .arg(path)
            .arg(kSettingsFileLimit);
    return {};
}

} // namespace

SettingsStore::SettingsStore()
{
    const QString path = UserSettingsPath();
    m_unusable = UnusableReason(path);
    if (m_unusable.isEmpty()) {
        m_settings = std::make_unique<QSettings>(path, PlainIniFormat());
    } else {
        // Defaults for this run, kept in a file of its own that goes with the store.
        m_scratch = std::make_unique<QTemporaryDir>();
        m_settings =
            std::make_unique<QSettings>(m_scratch->filePath(SettingsFileName()), PlainIniFormat());
    }
    reindex();
}

void SettingsStore::reindex()
{
    m_spellings.clear();
    for (const QString& stored : m_settings->allKeys())
        m_spellings[stored.toCaseFolded()].push_back(stored);
}

SettingsStore::~SettingsStore() = default;

QString SettingsStore::keyOf(const QString& section, const QString& key)
{
    return section + QLatin1Char('/') + key;
}

QString SettingsStore::value(const QString& section, const QString& key,
                             const QString& fallback) const
{
    // The format reads every value as text.
    const QVariant stored = m_settings->value(storedKey(section, key));
    if (!stored.isValid())
        return fallback;
    return stored.toString();
}

void SettingsStore::setValue(const QString& section, const QString& key, const QString& value)
{
    // One spelling per name: "Crc32" written by hand gives way to "CRC32".
    const QString wanted = keyOf(section, key);
    QStringList& spellings = m_spellings[wanted.toCaseFolded()];
    for (const QString& stored : spellings)
        if (stored != wanted)
            m_settings->remove(stored);
    spellings = QStringList{wanted};
    m_settings->setValue(wanted, value);
}

QString SettingsStore::storedKey(const QString& section, const QString& key) const
{
    // The index answers at once; scanning every key for each name made a large file quadratic.
    const QString wanted = keyOf(section, key);
    const auto found = m_spellings.constFind(wanted.toCaseFolded());
    if (found == m_spellings.constEnd() || found->isEmpty() || found->contains(wanted))
        return wanted;
    return found->front();
}

QStringList SettingsStore::storedSections(const QString& section) const
{
    QStringList sections;
    for (const QString& stored : m_settings->childGroups())
        if (stored.compare(section, Qt::CaseInsensitive) == 0)
            sections << stored;
    return sections;
}

int SettingsStore::intValue(const QString& section, const QString& key, int fallback) const
{
    bool ok = false;
    const int number = value(section, key).trimmed().toInt(&ok);
    return ok ? number : fallback;
}

bool SettingsStore::hasSection(const QString& section) const
{
    return !storedSections(section).isEmpty();
}

void SettingsStore::removeSection(const QString& section)
{
    for (const QString& stored : storedSections(section))
        m_settings->remove(stored);
    reindex();
}

QStringList SettingsStore::numberedValues(const QString& section) const
{
    std::vector<std::pair<qulonglong, QString>> numbered;
    for (const QString& stored : storedSections(section)) {
        m_settings->beginGroup(stored);
        const QStringList keys = m_settings->childKeys();
        m_settings->endGroup();
        for (const QString& key : keys) {
            bool ok = false;
            const qulonglong n = key.toULongLong(&ok);
            if (ok)
                numbered.emplace_back(n, keyOf(stored, key));
        }
    }
    std::sort(numbered.begin(), numbered.end());
    QStringList values;
    for (const auto& entry : numbered)
        values << m_settings->value(entry.second).toString();
    return values;
}

void SettingsStore::setNumberedValues(const QString& section, const QStringList& values)
{
    removeSection(section);
    for (int i = 0; i < values.size(); ++i)
        setValue(section, QString::number(i + 1), values[i]);
}

bool SettingsStore::sync()
{
    m_settings->sync();
    reindex(); // sync also reads what another store wrote meanwhile
    return m_unusable.isEmpty() && m_settings->status() == QSettings::NoError;
}

QString SettingsStore::errorString() const
{
    if (!m_unusable.isEmpty())
        return m_unusable;
    switch (m_settings->status()) {
    case QSettings::NoError:
        return {};
    case QSettings::AccessError:
        return QStringLiteral("The settings file %1 could not be written.").arg(fileName());
    case QSettings::FormatError:
        return QStringLiteral("The settings file %1 is damaged.").arg(fileName());
    }
    return {};
}

QString SettingsStore::fileName() const
{
    return m_unusable.isEmpty() ? m_settings->fileName() : UserSettingsPath();
}

} // namespace quillon
