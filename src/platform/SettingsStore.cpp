#include "platform/SettingsStore.h"

#include <algorithm>

namespace quillon {

SettingsStore::SettingsStore()
    : m_settings(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope,
                                             QStringLiteral("Tessaly"), QStringLiteral("Quillon")))
{
}

SettingsStore::~SettingsStore() = default;

static QString keyOf(const QString& section, const QString& key)
{
    return section + QLatin1Char('/') + key;
}

QString SettingsStore::value(const QString& section, const QString& key,
                             const QString& fallback) const
{
    const QVariant stored = m_settings->value(keyOf(section, key));
    if (!stored.isValid())
        return fallback;
    // A hand-edited file may hold a list ("a, b"); keep the text as written.
    if (stored.typeId() == QMetaType::QStringList)
        return stored.toStringList().join(QStringLiteral(", "));
    return stored.toString();
}

void SettingsStore::setValue(const QString& section, const QString& key, const QString& value)
{
    m_settings->setValue(keyOf(section, key), value);
}

int SettingsStore::intValue(const QString& section, const QString& key, int fallback) const
{
    bool ok = false;
    const int number = value(section, key).trimmed().toInt(&ok);
    return ok ? number : fallback;
}

bool SettingsStore::hasSection(const QString& section) const
{
    return m_settings->childGroups().contains(section);
}

void SettingsStore::removeSection(const QString& section)
{
    m_settings->remove(section);
}

QStringList SettingsStore::numberedValues(const QString& section) const
{
    m_settings->beginGroup(section);
    const QStringList keys = m_settings->childKeys();
    m_settings->endGroup();

    std::vector<std::pair<qulonglong, QString>> numbered;
    for (const QString& key : keys) {
        bool ok = false;
        const qulonglong n = key.toULongLong(&ok);
        if (ok)
            numbered.emplace_back(n, key);
    }
    std::sort(numbered.begin(), numbered.end());
    QStringList values;
    for (const auto& entry : numbered)
        values << value(section, entry.second);
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
    return m_settings->status() == QSettings::NoError;
}

QString SettingsStore::errorString() const
{
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
    return m_settings->fileName();
}

} // namespace quillon
