// Feeds arbitrary bytes to the rich-text reader, both into a text document and through the
// streaming converters; any crash, hang or leak is a fault.
#include "rtf/RtfDocumentBuilder.h"
#include "rtf/RtfFiles.h"
#include "rtf/RtfReader.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QTextDocument>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QGuiApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QTextDocument document;
    {
        quillon::RtfDocumentBuilder builder(&document);
        quillon::RtfReader(builder).read(input);
    }

    QBuffer in;
    in.setData(input);
    in.open(QIODevice::ReadOnly);
    QBuffer text;
    text.open(QIODevice::WriteOnly);
    quillon::ConvertRtfToPlainText(in, text);
    // The streaming path must give the document's text.
    if (text.data() != document.toPlainText().toUtf8())
        std::abort();

    in.seek(0);
    QBuffer rtf;
    rtf.open(QIODevice::WriteOnly);
    quillon::ConvertRtf(in, rtf);
    return 0;
}
