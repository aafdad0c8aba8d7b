#pragma once

#include <QString>
#include <functional>

namespace quillon {

/// How a long engine loop talks to whoever runs it. Both are optional, and most tests leave
/// them empty. The window lets its event loop run and shows the texts in the status bar; batch
/// mode looks for Ctrl+C in yield and shows the texts on a terminal's progress line.
struct ProgressHooks {
    std::function<void()> yield;                ///< called once per item of a long loop
    std::function<void(const QString&)> status; ///< progress text for the first status panel

    void Yield() const
    {
        if (yield)
            yield();
    }
    void Status(const QString& text) const
    {
        if (status)
            status(text);
    }
};

} // namespace quillon
