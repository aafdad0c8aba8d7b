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

std::unique_ptr<QTextDocument> BuildAside(const QFont& font,
                                          const std::function<void(QTextDocument&)>& fill,
                                          const std::function<void()>& wait)
{
    QThread* const caller = QThread::currentThread();
    std::unique_ptr<QTextDocument> document;
    QThreadPool& builder = Builder();
    builder.start([&] {
        document = ReportPane::NewDocument(font);
        fill(*document);
        // Only the thread an object lives in can hand it on.
        document->moveToThread(caller);
    });
    // fill writes into this frame: it is waited for even if wait throws.
    struct Join {
        QThreadPool& pool;
        ~Join() { pool.waitForDone(); }
    } join{builder};
    while (!builder.waitForDone(kWaitSliceMs)) {
        if (wait)
            wait();
    }
    return document;
}

std::unique_ptr<QTextDocument> ExpandDocument(const CompactText& text, const QFont& font,
                                              const std::function<void()>& yield)
{
    return BuildAside(
        font, [&text](QTextDocument& document) { LoadCompact(text, document); }, yield);
}

} // namespace quillon
