#pragma once

#include <functional>
#include <memory>

class QFont;
class QTextDocument;

namespace quillon {

class CompactText;

/// A report document being built as BuildAside describes, started at once so the calling
/// thread can go on with other work meanwhile (the layout that writes what fill reads).
/// Destroyed before Finish, it waits for fill to return and drops the document: fill must then
/// be told to stop some other way.
class AsideBuild {
public:
    AsideBuild(const QFont& font, std::function<void(QTextDocument&)> fill);
    ~AsideBuild();
    AsideBuild(const AsideBuild&) = delete;
    AsideBuild& operator=(const AsideBuild&) = delete;

    /// Runs wait, at least every few milliseconds, until fill returns, then hands the document
    /// over to the calling thread.
    std::unique_ptr<QTextDocument> Finish(const std::function<void()>& wait);

private:
    std::function<void(QTextDocument&)> m_fill;
    std::unique_ptr<QTextDocument> m_document;
    bool m_joined = false;
};

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
