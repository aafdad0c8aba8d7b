#include "platform/RtfFiles.h"

#include "platform/CheckedSave.h"
#include "platform/RtfDocumentBuilder.h"
#include "platform/RtfPlainTextWriter.h"
#include "platform/RtfReader.h"
#include "platform/RtfWriter.h"

#include <QFile>
#include <QSaveFile>
#include <QTextDocument>

namespace quillon {

namespace {

void SetError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

QString FileError(const QString& action, const QString& path, const QString& reason)
{
    return QStringLiteral("%1 %2: %3").arg(action, path, reason);
}

/// Hands reader events straight to a writer.
class WriterSink : public RtfSink {
public:
    explicit WriterSink(RtfWriter& writer) : m_writer(writer) {}

    void begin(const RtfDocumentInfo& info) override
    {
        QStringList fonts;
        if (!info.defaultFontFamily.isEmpty())
            fonts.append(info.defaultFontFamily);
        fonts.append(info.fonts);
        m_writer.begin(fonts, info.colours);
    }
    void paragraphStart(const RtfParagraphFormat& format) override
    {
        m_writer.paragraphStart(format);
    }
    void text(QStringView text, const RtfCharFormat& format) override
    {
        m_writer.text(text, format);
    }
    void paragraphEnd(const RtfParagraphFormat& format, const RtfCharFormat& mark) override
    {
        m_writer.paragraphEnd(format, mark);
    }
    void end() override { m_ok = m_writer.finish(); }

    bool ok() const { return m_ok; }

private:
    RtfWriter& m_writer;
    bool m_ok = false;
};

bool Commit(QSaveFile& file, const QString& path, QString* error)
{
    QString reason;
    if (!CommitChecked(file, &reason)) {
        SetError(error, FileError(QStringLiteral("Cannot write"), path, reason));
        return false;
    }
    return true;
}

} // namespace

bool LoadRtfFile(const QString& path, QTextDocument* document, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        SetError(error, FileError(QStringLiteral("Cannot open"), path, file.errorString()));
        return false;
    }
    RtfDocumentBuilder builder(document);
    if (!RtfReader(builder).read(file)) {
        SetError(error, FileError(QStringLiteral("Cannot read"), path, file.errorString()));
        return false;
    }
    return true;
}

bool SaveRtfFile(const QTextDocument& document, const QString& path, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        SetError(error, FileError(QStringLiteral("Cannot create"), path, file.errorString()));
        return false;
    }
    if (!WriteRtf(document, file)) {
        SetError(error, FileError(QStringLiteral("Cannot write"), path, file.errorString()));
        file.cancelWriting();
        return false;
    }
    return Commit(file, path, error);
}

bool SavePlainTextFile(const QTextDocument& document, const QString& path, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        SetError(error, FileError(QStringLiteral("Cannot create"), path, file.errorString()));
        return false;
    }
    const QByteArray bytes = document.toPlainText().toUtf8();
    if (file.write(bytes) != bytes.size()) {
        SetError(error, FileError(QStringLiteral("Cannot write"), path, file.errorString()));
        file.cancelWriting();
        return false;
    }
    return Commit(file, path, error);
}

bool ConvertRtfToPlainText(QIODevice& in, QIODevice& out)
{
    RtfPlainTextWriter writer(out);
    const bool readOk = RtfReader(writer).read(in);
    return readOk && writer.ok();
}

bool ConvertRtf(QIODevice& in, QIODevice& out)
{
    RtfWriter writer(out);
    WriterSink sink(writer);
    const bool readOk = RtfReader(sink).read(in);
    return readOk && sink.ok();
}

} // namespace quillon
