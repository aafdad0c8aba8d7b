#pragma once

#include <functional>
#include <memory>

class QFont;
class QTextDocument;

namespace quillon {

class CompactText;

/// A new report document (see ReportPane::NewDocument), filled by fill on a thread of its own
/// while the calling thread runs wait, at least every few milliseconds, until fill returns.
/// The document then belongs to the calling thread.
///
/// Why a thread: a report's text and block table grow by doubling, up to hundreds of
/// megabytes. Built on the window's thread after an earlier report was let go, each doubling
/// lands in the freed heap and copies the whole text (a tenth of a second at a million lines,
/// with the window frozen). A thread's allocations of that size are mapped on their own, and
/// the C library grows those without copying. The window's events go on meanwhile.
///
/// fill must not touch the window: it gets only the document.
std::unique_ptr<QTextDocument> BuildAside(const QFont& font,
                                          const std::function<void(QTextDocument&)>& fill,
                                          const std::function<void()>& wait);

/// A document loaded from compact rich text, with font as its default font, built aside as
/// above; yield, when given, runs on the calling thread meanwhile.
std::unique_ptr<QTextDocument> ExpandDocument(const CompactText& text, const QFont& font,
                                              const std::function<void()>& yield = {});

} // namespace quillon
