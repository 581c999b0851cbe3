#include "core/files/ErrorLog.h"

#include "core/platform/Platform.h"
#include "core/platform/TextCodec.h"

#include <QFile>
#include <QLocale>

namespace {

bool AppendLine(const QString& path, const QString& line)
{
    QFile file(path);
    // A log that is created is the user's alone, like every file the
    // program makes.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append,
                   QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return false;
    const QByteArray bytes = EncodeLine(line) + "\r\n";
    if (file.write(bytes) != bytes.size())
        return false;
    return file.flush();
}

} // namespace

void LogError(const QString& message)
{
    Platform& p = platform();
    const QDateTime now = p.Now();
    const QString folder = p.ProgramFolder();
    const QString logPath = folder + QLatin1Char('/') + p.ProgramFileName() + QStringLiteral(".log");
    const QString line = now.toString(QStringLiteral("yyyyMMdd,HH:mm:ss")) +
                         QStringLiteral(",,") + message;
    if (AppendLine(logPath, line))
        return;
    const QString fallback = QStringLiteral("LOGGING ERROR ") +
                             QLocale::system().toString(now.date(), QLocale::ShortFormat) +
                             QLatin1Char(' ') + FormatTimeOfDay(now.time()) +
                             QStringLiteral(" - text = ") + message;
    AppendLine(folder + QStringLiteral("/error.log"), fallback);
}

QString GetVersionString()
{
    const VersionNumbers v = platform().Version();
    return QStringLiteral("v%1.%2.%3").arg(v.major).arg(v.minor).arg(v.revision);
}

void ReportFailure(const QString& message) { ReportFailure(Problem{message, QString()}); }

void ReportFailure(const Problem& problem)
{
    LogError(problem.logLine.isEmpty() ? problem.message : problem.logLine);
    platform().MessageBox(problem.message);
}
