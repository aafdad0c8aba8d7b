#include "scan/FileTypes.h"

#include "platform/SettingsStore.h"

#include <QMimeDatabase>

namespace quillon {

namespace {

const QString kSection = QStringLiteral("File Types");
// Keeps the section present when the user has deleted every type; not a numbered value, so
// readers of the numbered values pass over it.
const QString kCountKey = QStringLiteral("Count");

} // namespace

bool LoadFileTypes(const SettingsStore& store, FileTypeList& types)
{
    types.clear();
    if (!store.hasSection(kSection))
        return false;
    for (const QString& value : store.numberedValues(kSection)) {
        const QStringList parts = value.split(QLatin1Char(';'));
        if (parts[0].isEmpty())
            continue; // nothing a filter could use
        // Settings written before such types were refused, or edited by hand: offered, the type
        // would split the job's location line and the dialog's filter.
        if (!IsSafeTypeText(parts[0]))
            continue;
        types.append(FileType{parts[0], parts.size() > 1 ? parts[1] : QString()});
    }
    return true;
}

bool SaveFileTypes(SettingsStore& store, const FileTypeList& types)
{
    QStringList values;
    values.reserve(types.size());
    for (const FileType& type : types)
        values << type.extension + QLatin1Char(';') + type.description;
    store.setNumberedValues(kSection, values);
    store.setValue(kSection, kCountKey, QString::number(types.size()));
    return store.sync();
}

FileTypeList LoadDefaultFileTypes()
{
    FileTypeList types;
    for (const char* extension :
         {".mp3", ".wma", ".jpg", ".gif", ".exe", ".zip", ".mpg", ".wav", ".ra", ".avi"}) {
        const QString text = QString::fromLatin1(extension);
        types.append(FileType{text, FileTypeName(text)});
    }
    return types;
}

QString FileTypeName(const QString& extension)
{
    QString bare = extension;
    while (bare.startsWith(QLatin1Char('.')))
        bare.remove(0, 1);
    if (bare.isEmpty())
        return {};
    static const QMimeDatabase database;
    const QMimeType type =
        database.mimeTypeForFile(QStringLiteral("x.") + bare, QMimeDatabase::MatchExtension);
    QString name = type.isDefault() ? bare.toUpper() + QStringLiteral(" File") : type.comment();
    name.truncate(80);
    return name;
}

bool IsSafeTypeText(const QString& text)
{
    return !text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('|'));
}

QString UnsafeTypeTextMessage()
{
    return QStringLiteral("A file type cannot hold \",\" or \"|\".");
}

} // namespace quillon
