#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QIODevice>
#include <functional>
#include <memory>
#include <vector>

class QTextDocument;

namespace quillon {

/// A long text kept compressed in pieces of 64 KiB, so an earlier report costs the undo
/// history a tenth of its rich text instead of a whole document, and each piece is compressed
/// and expanded in a moment (the window can let its events run in between).
class CompactText {
public:
    static constexpr qsizetype kPieceSize = 64 * 1024;

    /// Adds text at the end; full pieces are compressed at once.
    void append(QByteArrayView data);
    /// Compresses what is left of the last piece; call it once after the last append.
    void finish();

    qsizetype size() const { return m_size; }
    /// Bytes held, compressed pieces and what is not yet compressed.
    qsizetype storedSize() const;
    std::size_t pieceCount() const { return m_pieces.size(); }
    /// Piece i, expanded.
    QByteArray piece(std::size_t i) const;

private:
    struct Piece {
        QByteArray packed;
        qsizetype length = 0;
    };
    void pack(QByteArrayView data);

    std::vector<Piece> m_pieces;
    QByteArray m_tail;
    qsizetype m_size = 0;
};

/// Reads a compact text from its start as a sequential device.
class CompactTextDevice : public QIODevice {
public:
    explicit CompactTextDevice(std::shared_ptr<const CompactText> text);
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    std::shared_ptr<const CompactText> m_text;
    std::size_t m_next = 0;
    QByteArray m_current;
    qsizetype m_offset = 0;
};

/// Reads a file piece by piece for the rich-text reader and keeps a compact copy of what it
/// read. Once stop() answers true it reports the end of the file, so a load can be given up
/// between two pieces.
class KeepingFileDevice : public QIODevice {
public:
    KeepingFileDevice(QIODevice& file, std::function<bool()> stop);
    bool isSequential() const override { return true; }
    bool stopped() const { return m_stopped; }
    /// The whole file, compact: what was read, and the rest of the file after the point where
    /// the reader stopped (past the document's closing brace).
    std::shared_ptr<const CompactText> keepAll();

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QIODevice& m_file;
    std::function<bool()> m_stop;
    std::shared_ptr<CompactText> m_kept = std::make_shared<CompactText>();
    bool m_stopped = false;
};

/// The document as rich text, compact.
std::shared_ptr<const CompactText> CompactDocument(const QTextDocument& document);

/// Reads compact rich text into document, on the calling thread.
void LoadCompact(const CompactText& text, QTextDocument& document);

} // namespace quillon
