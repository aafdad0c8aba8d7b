#include "FileBytes.h"

#include <QFile>
#include <gtest/gtest.h>

namespace quillon::test {

QByteArray FileBytes(const QString& path, const QByteArray& ifMissing)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : ifMissing;
}

void WriteFileBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size()) << path.toStdString();
}

} // namespace quillon::test
