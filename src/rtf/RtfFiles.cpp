#include "rtf/RtfFiles.h"

#include "platform/CheckedSave.h"
#include "rtf/RtfDocumentBuilder.h"
#include "rtf/RtfPlainTextWriter.h"
#include "rtf/RtfReader.h"
#include "rtf/RtfWriter.h"

#include <QFile>
#include <QSaveFile>
#include <QTextDocument>
#include <algorithm>
#include <cerrno>

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

/// Passes writes on to a file, calling yield before each: the writers write in pieces of
/// 64 KiB, so a long save lets its caller run events between pieces.
class YieldingWriter : public QIODevice {
public:
    YieldingWriter(QIODevice& out, const std::function<void()>& yield) : m_out(out), m_yield(yield)
    {
        open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        if (m_yield)
            m_yield();
        return m_out.write(data, size);
    }

private:
    QIODevice& m_out;
    const std::function<void()>& m_yield;
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

bool SaveRtfFile(const QTextDocument& document, const QString& path, QString* error,
                 const std::function<void()>& yield)
{
    QSaveFile file(path);
    if (QString reason; !OpenForReplace(file, &reason)) {
        SetError(error, FileError(QStringLiteral("Cannot create"), path, reason));
        return false;
    }
    YieldingWriter out(file, yield);
    if (!WriteRtf(document, out, yield)) {
        SetError(error,
                 FileError(QStringLiteral("Cannot write"), path, WriteFailureReason(file, errno)));
        file.cancelWriting();
        return false;
    }
    return Commit(file, path, error);
}

bool SavePlainTextFile(const QTextDocument& document, const QString& path, QString* error,
                       const std::function<void()>& yield)
{
    QSaveFile file(path);
    if (QString reason; !OpenForReplace(file, &reason)) {
        SetError(error, FileError(QStringLiteral("Cannot create"), path, reason));
        return false;
    }
    const QByteArray bytes = document.toPlainText().toUtf8();
    YieldingWriter out(file, yield);
    bool written = true;
    for (qsizetype at = 0; written && at < bytes.size(); at += 64 * 1024) {
        const qsizetype length = std::min<qsizetype>(64 * 1024, bytes.size() - at);
        written = out.write(bytes.constData() + at, length) == length;
    }
    if (!written) {
        SetError(error,
                 FileError(QStringLiteral("Cannot write"), path, WriteFailureReason(file, errno)));
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
