#include "app/ScreenshotRun.h"

#include "app/MainFrm.h"

#include <QCoreApplication>
#include <QPixmap>
#include <QTimer>

namespace quillon {

void ArmScreenshotRun(MainFrm& window)
{
    const QString picture = qEnvironmentVariable("QUILLON_SCREENSHOT");
    if (picture.isEmpty())
        return;
    const QString job = qEnvironmentVariable("QUILLON_SCREENSHOT_JOB");
    // Let the window be mapped and painted once before the run starts.
    QTimer::singleShot(500, &window, [&window, picture, job] {
        if (!job.isEmpty() && window.LoadJob(job))
            window.Scan();
        QCoreApplication::processEvents();
        const bool saved = window.grab().save(picture, "PNG");
        window.close();
        QCoreApplication::exit(saved ? 0 : 1);
    });
}

} // namespace quillon
