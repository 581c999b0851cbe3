#pragma once

#include "core/platform/Platform.h"

#include <QDate>
#include <QTime>

// A platform for the fuzz targets: opens no window, counts the messages it
// was asked to show and touches nothing outside the folder it is given.
class QuietPlatform : public Platform {
public:
    QString folder;
    int messages = 0;

    void MessageBox(const QString&) override { ++messages; }
    void Beep() override {}
    QString ProgramFolder() override { return folder; }
    QString ProgramFileName() override { return QStringLiteral("banterly"); }
    QDateTime Now() override { return QDateTime(QDate(2026, 11, 1), QTime(12, 0)); }
    VersionNumbers Version() override { return {1, 0, 31}; }
    int ReadProfileString(const QString&, const QString&, const QString&, QString& value, int,
                          const QString&) override
    {
        value.clear();
        return 0;
    }
    bool WriteProfileString(const QString&, const QString&, const QString&, const QString&) override
    {
        return false;
    }
    bool WriteProfileStrings(const QString&, const QList<IniEdit>&) override { return false; }
};
