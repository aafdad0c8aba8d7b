#pragma once

#include "rtf/RtfSink.h"

#include <QByteArrayView>
#include <QIODevice>
#include <memory>

namespace quillon {

/// A streaming rich-text (RTF) reader. It reads its input in chunks and hands the document to
/// an RtfSink as text runs and paragraph ends, so a file of any size is read in bounded memory.
/// It takes the font and colour tables, sizes, colours, bold, italic, underline, left indents,
/// paragraphs, line breaks, tabs, escaped characters, code page 1252 bytes and \u characters;
/// unknown control words and destinations that hold no body text are skipped. Broken input
/// (unbalanced braces, a truncated file, garbage, absurd numbers, deep nesting) gives the best
/// document it can; the reader always ends, and always calls the sink's end().
///
/// Bounds, whatever the input (a staging file may be left by anything): the reader holds one
/// 64 KiB chunk, at most kMaxGroupDepth saved group states (deeper groups are only counted),
/// 32 letters of a control word and its parameter clamped at 10^10 (longer ones are read
/// past, not kept), 4096 fonts of at most 256 characters and 4096 colours, and about 32 Ki
/// characters of text before handing them on; \bin counts are skipped, never allocated. So
/// its own memory is a constant and its time one pass, linear in the input. Nothing is
/// refused: what the sinks keep is the document's text, at most a small multiple of the input.
class RtfReader {
public:
    /// Groups nested deeper than this share the state of the deepest kept group.
    static constexpr int kMaxGroupDepth = 512;

    /// The sink must outlive the reader.
    explicit RtfReader(RtfSink& sink);
    ~RtfReader();
    RtfReader(const RtfReader&) = delete;
    RtfReader& operator=(const RtfReader&) = delete;

    /// Reads the device from its current position to its end (or to the group that closes the
    /// document). False when the device reported a read error; what was read up to there has
    /// been delivered all the same.
    bool read(QIODevice& in);

    /// Reads a document held in memory.
    void read(QByteArrayView data);

private:
    class Parser;
    RtfSink& m_sink;
};

} // namespace quillon
