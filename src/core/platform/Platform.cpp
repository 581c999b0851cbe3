#include "core/platform/Platform.h"

#include <QLocale>
#include <cstdio>
#include <cstdlib>

namespace {
Platform* g_platform = nullptr;
}

Platform& platform()
{
    if (!g_platform) {
        std::fputs("Banterly: no platform installed\n", stderr);
        std::abort();
    }
    return *g_platform;
}

Platform* SetPlatform(Platform* p)
{
    Platform* previous = g_platform;
    g_platform = p;
    return previous;
}

QString FormatTimeOfDay(const QTime& time)
{
    // The system's long time format always carries seconds; time zone names
    // that some locales append are dropped.
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    format.remove(QLatin1String("t")).replace(QLatin1String("  "), QLatin1String(" "));
    return time.toString(format.trimmed());
}
