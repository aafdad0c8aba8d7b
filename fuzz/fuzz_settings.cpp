// Feeds arbitrary bytes as the settings file: the start-up reads (report settings, file types,
// window size) must take every value as plain text, and the file format must give back what
// it wrote (parse, write, parse again: the same names and values).
#include "FuzzSupport.h"
#include "platform/PlainIniFormat.h"
#include "platform/SettingsStore.h"
#include "report/ReportSettings.h"

#include <QCoreApplication>
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
    const QByteArrayView input(data, static_cast<qsizetype>(size));
    QSettings::SettingsMap map;
    ParsePlainIni(input, map);
    QSettings::SettingsMap again;
    ParsePlainIni(PlainIniText(map), again);
    if (again != map)
        fuzz::Fail("the settings text read back differs from the text written");

    fuzz::WriteScratchFile(QStringLiteral("Tessaly/Quillon.ini"), data, size);
    const SettingsStore store;
    (void)LoadReportSettings(store);
    (void)store.numberedValues(QStringLiteral("File Types"));
    (void)store.intValue(QStringLiteral("WindowSize"), QStringLiteral("Width"), 0);
    return 0;
}
