#include "app/Dialogs.h"

namespace quillon {

QList<FileFilter> ParseFileFilter(const QString& pipeFilter)
{
    QStringList parts = pipeFilter.split(QLatin1Char('|'));
    if (!parts.isEmpty() && parts.last().isEmpty())
        parts.removeLast();
    QList<FileFilter> filters;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        FileFilter filter;
        filter.label = parts[i];
        filter.pattern = i + 1 < parts.size() ? parts[i + 1] : QStringLiteral("*");
        filters.append(filter);
    }
    return filters;
}

QString QtFileFilter(const QString& pipeFilter)
{
    QStringList out;
    for (const FileFilter& filter : ParseFileFilter(pipeFilter)) {
        // Qt reads the patterns from the last brackets; separate them with blanks, not ";".
        const QString patterns =
            QString(filter.pattern).replace(QLatin1Char(';'), QLatin1Char(' '));
        const QString bracketed = QLatin1Char('(') + patterns + QLatin1Char(')');
        if (filter.label.trimmed().endsWith(bracketed))
            out.append(filter.label);
        else
            out.append(filter.label + QLatin1Char(' ') + bracketed);
    }
    return out.join(QStringLiteral(";;"));
}

QString FilterExtension(const QString& pattern)
{
    const QString first = pattern.section(QLatin1Char(';'), 0, 0).trimmed();
    if (!first.startsWith(QStringLiteral("*.")))
        return {};
    const QString ext = first.mid(2);
    if (ext.isEmpty() || ext.contains(QLatin1Char('*')) || ext.contains(QLatin1Char('?')) ||
        ext.contains(QLatin1Char('[')))
        return {};
    return ext;
}

QString WithFilterExtension(const QString& path, const QString& pattern)
{
    const QString ext = FilterExtension(pattern);
    if (ext.isEmpty() || path.isEmpty())
        return path;
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    if (name.isEmpty())
        return path;
    // A leading dot marks a hidden file, not an extension: ".notes" is a bare name.
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot > 0 && dot < name.size() - 1)
        return path;
    if (dot == name.size() - 1) // "report." means the user wants the filter's extension
        return path + ext;
    return path + QLatin1Char('.') + ext;
}

} // namespace quillon
