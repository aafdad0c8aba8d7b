#include "rtf/CompactText.h"

#include "rtf/RtfDocumentBuilder.h"
#include "rtf/RtfReader.h"
#include "rtf/RtfWriter.h"

#include <QTextDocument>
#include <cstring>
#include <libdeflate.h>

namespace quillon {

namespace {

// One compressor and one decompressor per thread (reports are read on threads of their own).
libdeflate_compressor* Compressor()
{
    thread_local const std::unique_ptr<libdeflate_compressor, void (*)(libdeflate_compressor*)> c(
        libdeflate_alloc_compressor(5), libdeflate_free_compressor);
    return c.get();
}

libdeflate_decompressor* Decompressor()
{
    thread_local const std::unique_ptr<libdeflate_decompressor, void (*)(libdeflate_decompressor*)>
        d(libdeflate_alloc_decompressor(), libdeflate_free_decompressor);
    return d.get();
}

// Collects what the rich-text writer writes.
class CompactTextWriter : public QIODevice {
public:
    explicit CompactTextWriter(CompactText& text) : m_text(text) {}

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override
    {
        m_text.append(QByteArrayView(data, size));
        return size;
    }

private:
    CompactText& m_text;
};

} // namespace

void CompactText::append(QByteArrayView data)
{
    m_size += data.size();
    if (!m_tail.isEmpty()) {
        const qsizetype take = std::min(data.size(), kPieceSize - m_tail.size());
        m_tail.append(data.first(take));
        data = data.sliced(take);
        if (m_tail.size() < kPieceSize)
            return;
        pack(m_tail);
        m_tail.clear();
    }
    while (data.size() >= kPieceSize) {
        pack(data.first(kPieceSize));
        data = data.sliced(kPieceSize);
    }
    m_tail.append(data);
}

void CompactText::finish()
{
    if (!m_tail.isEmpty())
        pack(m_tail);
    m_tail = QByteArray();
}

void CompactText::pack(QByteArrayView data)
{
    libdeflate_compressor* compressor = Compressor();
    QByteArray packed(qsizetype(libdeflate_deflate_compress_bound(compressor, size_t(data.size()))),
                      Qt::Uninitialized);
    const size_t length = libdeflate_deflate_compress(compressor, data.data(), size_t(data.size()),
                                                      packed.data(), size_t(packed.size()));
    // The bound always fits; a piece that would not shrink is kept as it is.
    if (length == 0 || qsizetype(length) >= data.size())
        packed = data.toByteArray();
    else
        packed.truncate(qsizetype(length));
    packed.squeeze();
    m_pieces.push_back({std::move(packed), data.size()});
}

qsizetype CompactText::storedSize() const
{
    qsizetype total = m_tail.size();
    for (const Piece& piece : m_pieces)
        total += piece.packed.size();
    return total;
}

QByteArray CompactText::piece(std::size_t i) const
{
    const Piece& stored = m_pieces.at(i);
    if (stored.packed.size() == stored.length)
        return stored.packed;
    QByteArray text(stored.length, Qt::Uninitialized);
    size_t got = 0;
    if (libdeflate_deflate_decompress(Decompressor(), stored.packed.constData(),
                                      size_t(stored.packed.size()), text.data(),
                                      size_t(text.size()), &got) != LIBDEFLATE_SUCCESS)
        return {};
    text.truncate(qsizetype(got));
    return text;
}

CompactTextDevice::CompactTextDevice(std::shared_ptr<const CompactText> text)
    : m_text(std::move(text))
{
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

qint64 CompactTextDevice::readData(char* data, qint64 maxSize)
{
    while (m_offset >= m_current.size()) {
        if (m_next >= m_text->pieceCount())
            return 0;
        m_current = m_text->piece(m_next++);
        m_offset = 0;
    }
    const qint64 take = std::min<qint64>(maxSize, m_current.size() - m_offset);
    std::memcpy(data, m_current.constData() + m_offset, size_t(take));
    m_offset += take;
    return take;
}

KeepingFileDevice::KeepingFileDevice(QIODevice& file, std::function<bool()> stop)
    : m_file(file), m_stop(std::move(stop))
{
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

qint64 KeepingFileDevice::readData(char* data, qint64 maxSize)
{
    if (m_stopped || (m_stop && m_stop())) {
        m_stopped = true;
        return 0;
    }
    const qint64 got = m_file.read(data, std::min<qint64>(maxSize, CompactText::kPieceSize));
    if (got > 0)
        m_kept->append(QByteArrayView(data, got));
    return got;
}

std::shared_ptr<const CompactText> KeepingFileDevice::keepAll()
{
    QByteArray rest(CompactText::kPieceSize, Qt::Uninitialized);
    for (qint64 got; (got = m_file.read(rest.data(), rest.size())) > 0;)
        m_kept->append(QByteArrayView(rest.constData(), got));
    m_kept->finish();
    return m_kept;
}

std::shared_ptr<const CompactText> CompactDocument(const QTextDocument& document)
{
    auto text = std::make_shared<CompactText>();
    CompactTextWriter writer(*text);
    writer.open(QIODevice::WriteOnly);
    WriteRtf(document, writer);
    text->finish();
    return text;
}

void LoadCompact(const CompactText& text, QTextDocument& document)
{
    if (text.size() == 0)
        return;
    // The device only reads; it shares the text without owning it.
    CompactTextDevice device(std::shared_ptr<const CompactText>(&text, [](const CompactText*) {}));
    RtfDocumentBuilder builder(&document);
    RtfReader(builder).read(device);
}

} // namespace quillon
