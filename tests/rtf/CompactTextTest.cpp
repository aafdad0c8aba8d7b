#include "rtf/CompactText.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace quillon;

namespace {

// Text that spans pieces: a compressible run, then bytes that do not shrink.
QByteArray mixedText()
{
    QByteArray text;
    for (int i = 0; i < 9000; ++i)
        text += "line " + QByteArray::number(i) + "\\par\n";
    QRandomGenerator random(7);
    for (int i = 0; i < 70000; ++i)
        text += char(random.bounded(256));
    return text;
}

// Reads the device in uneven steps, as the rich-text reader does.
QByteArray readAll(QIODevice& device)
{
    QByteArray all;
    char buffer[1000];
    for (qint64 got; (got = device.read(buffer, sizeof buffer)) > 0;)
        all.append(buffer, got);
    return all;
}

} // namespace

TEST(CompactText, KeepsTextAcrossPiecesAndGivesItBackInOrder)
{
    const QByteArray text = mixedText();
    auto compact = std::make_shared<CompactText>();
    for (qsizetype at = 0; at < text.size(); at += 12345)
        compact->append(
            QByteArrayView(text).sliced(at, std::min<qsizetype>(12345, text.size() - at)));
    compact->finish();
    EXPECT_EQ(compact->size(), text.size());
    EXPECT_EQ(compact->pieceCount(),
              std::size_t((text.size() + CompactText::kPieceSize - 1) / CompactText::kPieceSize));
    EXPECT_LT(compact->storedSize(), text.size());
    CompactTextDevice device(compact);
    EXPECT_EQ(readAll(device), text);

    CompactTextDevice empty(std::make_shared<CompactText>());
    EXPECT_EQ(readAll(empty), QByteArray());
}

TEST(CompactText, AFileStoppedPartWayIsStillKeptWhole)
{
    QByteArray text = mixedText();
    QBuffer file(&text);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    int reads = 0;
    KeepingFileDevice device(file, [&reads] { return ++reads > 1; });
    char buffer[CompactText::kPieceSize];
    EXPECT_EQ(device.read(buffer, sizeof buffer), CompactText::kPieceSize);
    EXPECT_EQ(device.read(buffer, sizeof buffer), 0); // stopped: the reader sees the end
    EXPECT_TRUE(device.stopped());
    CompactTextDevice kept(device.keepAll());
    EXPECT_EQ(readAll(kept), text);
}
