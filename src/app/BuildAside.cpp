#include "app/BuildAside.h"

#include "app/ReportPane.h"
#include "rtf/CompactText.h"

#include <QFont>
#include <QTextDocument>
#include <QThread>
#include <QThreadPool>

namespace quillon {

namespace {

constexpr int kWaitSliceMs = 10;

// One thread for every build, kept for the whole run. The C library serves each thread from
// an arena of its own and keeps what a document freed there for the next one; a new thread
// per build would leave each arena's freed reports lying side by side.
class BuilderThread : public QThreadPool {
public:
    BuilderThread()
    {
        setMaxThreadCount(1);
        setExpiryTimeout(-1);
    }
};

QThreadPool& Builder()
{
    static BuilderThread builder;
    return builder;
}

} // namespace

AsideBuild::AsideBuild(const QFont& font, std::function<void(QTextDocument&)> fill)
    : m_fill(std::move(fill))
{
    QThread* const caller = QThread::currentThread();
    Builder().start([this, font, caller] {
        m_document = ReportPane::NewDocument(font);
        m_fill(*m_document);
        // Only the thread an object lives in can hand it on.
        m_document->moveToThread(caller);
    });
}

AsideBuild::~AsideBuild()
{
    // fill writes into this object and into the caller's frame.
    if (!m_joined)
        Builder().waitForDone();
}

std::unique_ptr<QTextDocument> AsideBuild::Finish(const std::function<void()>& wait)
{
    // Joined even if wait throws: the destructor waits then.
    while (!Builder().waitForDone(kWaitSliceMs)) {
        if (wait)
            wait();
    }
    m_joined = true;
    return std::move(m_document);
}

std::unique_ptr<QTextDocument> BuildAside(const QFont& font,
                                          const std::function<void(QTextDocument&)>& fill,
                                          const std::function<void()>& wait)
{
    AsideBuild build(font, fill);
    return build.Finish(wait);
}

std::unique_ptr<QTextDocument> ExpandDocument(const CompactText& text, const QFont& font,
                                              const std::function<void()>& yield)
{
    return BuildAside(
        font, [&text](QTextDocument& document) { LoadCompact(text, document); }, yield);
}

} // namespace quillon
