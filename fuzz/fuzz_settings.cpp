// Feeds arbitrary bytes as the settings file and reads what the program reads at start-up;
// every value must come back as plain text, and a value stored must read back unchanged.
#include "FuzzSupport.h"
#include "platform/SettingsStore.h"
#include "report/ReportSettings.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdlib>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    setenv("XDG_CONFIG_HOME", quillon::fuzz::ScratchFolder().toLocal8Bit().constData(), 1);
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace quillon;
    QString written;
    {
        SettingsStore store;
        const QString path = store.fileName();
        QFile::remove(path);
        // The first line, when there is one, is also stored as a value to come back as written.
        const QByteArrayView input(data, static_cast<qsizetype>(size));
        const qsizetype end = input.indexOf('\n');
        written = QString::fromUtf8(end < 0 ? input : input.first(end));
        fuzz::WriteScratchFile(QStringLiteral("Tessaly/Quillon.ini"), data, size);
    }
    SettingsStore store;
    const ReportSettings settings = LoadReportSettings(store);
    (void)store.numberedValues(QStringLiteral("File Types"));
    (void)store.intValue(QStringLiteral("WindowSize"), QStringLiteral("Width"), 0);
    store.setValue(QStringLiteral("Fuzz"), QStringLiteral("Value"), written);
    if (!store.sync())
        fuzz::Fail("the settings cannot be written");
    const SettingsStore reread;
    if (reread.value(QStringLiteral("Fuzz"), QStringLiteral("Value")) != written)
        fuzz::Fail("a value read back differs from the value stored");
    (void)settings;
    return 0;
}
