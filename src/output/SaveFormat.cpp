#include "output/SaveFormat.h"

#include <QStringList>

#include <algorithm>

namespace quillon {

namespace {

struct Mark {
    OutputKind kind;
    QLatin1String text;
    bool ending; ///< decides only at the end of the name, else anywhere in it
};

// In the order they are looked for: endings first, then the marks anywhere.
constexpr Mark kMarks[] = {
    {OutputKind::Pdf, QLatin1String(".pdf"), true},
    {OutputKind::Csv, QLatin1String(".csv"), true},
    {OutputKind::Json, QLatin1String(".json"), true},
    // Only commands that write the page to browse take ".html" for it; Save As and the
    // comparison go on to ".htm" below and write the report's page, as they always have.
    {OutputKind::WebPage, QLatin1String(".html"), true},
    {OutputKind::PlainText, QLatin1String(".txt"), false},
    {OutputKind::RichText, QLatin1String(".rtf"), false},
    {OutputKind::Html, QLatin1String(".htm"), false},
};

bool Writes(std::span<const OutputKind> written, OutputKind kind)
{
    return std::find(written.begin(), written.end(), kind) != written.end();
}

// "a", "a or b", "a, b or c", each in quotes.
QString Alternatives(const QStringList& marks)
{
    QString text;
    for (int i = 0; i < marks.size(); ++i) {
        if (i > 0)
            text += i + 1 == marks.size() ? QStringLiteral(" or ") : QStringLiteral(", ");
        text += QLatin1Char('"') + marks[i] + QLatin1Char('"');
    }
    return text;
}

} // namespace

OutputKind OutputKindForPath(const QString& path, std::span<const OutputKind> written)
{
    // Only the name decides: a folder such as "backup.txt.d" must not make a ".rtf" file text.
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    for (const Mark& mark : kMarks) {
        if (!Writes(written, mark.kind))
            continue;
        if (mark.ending ? name.endsWith(mark.text, Qt::CaseInsensitive)
                        : name.contains(mark.text, Qt::CaseInsensitive))
            return mark.kind;
    }
    return OutputKind::None;
}

QString OutputNameRefusal(const QString& path, std::span<const OutputKind> written)
{
    QStringList endings, anywhere;
    for (const Mark& mark : kMarks) {
        if (Writes(written, mark.kind))
            (mark.ending ? endings : anywhere) += mark.text;
    }
    QString what;
    if (!endings.isEmpty())
        what = QStringLiteral("end in ") + Alternatives(endings);
    if (!anywhere.isEmpty())
        what += (what.isEmpty() ? QString() : QStringLiteral(", or ")) + QStringLiteral("hold ") +
                Alternatives(anywhere);
    return QStringLiteral("%1: the output name must %2").arg(path, what);
}

SaveFormat SaveFormatForPath(const QString& path)
{
    switch (OutputKindForPath(path, kSaveAsOutputs)) {
    case OutputKind::PlainText:
        return SaveFormat::PlainText;
    case OutputKind::RichText:
        return SaveFormat::RichText;
    case OutputKind::Html:
        return SaveFormat::Html;
    default:
        return SaveFormat::None;
    }
}

} // namespace quillon
