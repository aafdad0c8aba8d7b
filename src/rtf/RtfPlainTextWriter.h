#pragma once

#include "rtf/RtfSink.h"

#include <QByteArray>
#include <QIODevice>

namespace quillon {

/// Writes reader events as UTF-8 plain text: every paragraph ends in "\n", the text after the
/// last paragraph mark is written without one, manual line breaks become "\n" and no-break
/// spaces plain spaces. The result equals QTextDocument::toPlainText() of the same document.
class RtfPlainTextWriter : public RtfSink {
public:
    /// The device must be open for writing and outlive the writer.
    explicit RtfPlainTextWriter(QIODevice& out);

    void text(QStringView text, const RtfCharFormat& format) override;
    void paragraphEnd(const RtfParagraphFormat& format, const RtfCharFormat& mark) override;
    void end() override;

    /// False once a write to the device has failed.
    bool ok() const { return !m_failed; }

private:
    void flush(bool final = false);

    QIODevice& m_out;
    QString m_text;
    QByteArray m_bytes;
    bool m_failed = false;
};

} // namespace quillon
