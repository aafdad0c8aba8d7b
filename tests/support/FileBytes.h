#pragma once

#include <QByteArray>
#include <QString>

namespace quillon::test {

/// The whole file, or ifMissing when it cannot be read (so an assertion names what is wrong).
QByteArray FileBytes(const QString& path, const QByteArray& ifMissing = "(missing)");

/// Creates or replaces the file with bytes; fails the running test when it cannot.
void WriteFileBytes(const QString& path, const QByteArray& bytes);

} // namespace quillon::test
