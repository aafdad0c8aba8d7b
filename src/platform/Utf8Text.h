#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

namespace quillon {

/// UTF-8 bytes as text, keeping a leading U+FEFF: QString::fromUtf8 drops it, so a text that
/// begins with one would lose it each time it is written and read again.
inline QString Utf8Text(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringConverter::Utf8, QStringConverter::Flag::ConvertInitialBom |
                                                       QStringConverter::Flag::Stateless);
    return decoder.decode(bytes);
}

} // namespace quillon
