#include "core/settings/ExchangeFolders.h"

#include "core/files/ErrorLog.h"
#include "core/platform/Platform.h"

#include <QDir>
#include <QFileInfo>

namespace {
const QString kKey = QStringLiteral("ExchangeFolder");
constexpr int kPathBuffer = 32000;
} // namespace

QString ExchangeFolder(const QString& iniFile, const QString& kind)
{
    QString folder;
    if (!iniFile.isEmpty())
        platform().ReadProfileString(kind, kKey, QString(), folder, kPathBuffer, iniFile);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return QDir::homePath();
    return folder;
}

void RememberExchangeFolder(const QString& iniFile, const QString& kind, const QString& file)
{
    const QString folder = QFileInfo(file).absolutePath();
    if (iniFile.isEmpty() || folder == ExchangeFolder(iniFile, kind))
        return;
    if (!platform().WriteProfileString(kind, kKey, folder, iniFile))
        LogError(QStringLiteral("Could not keep the folder of the last %1 file in %2")
                     .arg(kind, iniFile));
}
