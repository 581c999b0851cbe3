#pragma once

#include "platform/Platform.h"

#include <QDate>
#include <QTime>

// A platform for the fuzz targets: opens no window, counts the message boxes
// it was asked for and touches nothing outside the folder it is given.
class QuietPlatform : public Platform {
public:
    QString folder;
    int messages = 0;

    void MessageBox(const QString&) override { ++messages; }
    QString InputBox(const QString&, const QString&, const QString&, double, double) override
    {
        return QString();
    }
    void Beep() override {}
    void ClipboardClear() override {}
    void ClipboardSetText(const QString&) override {}
    void SetBusyPointer(bool) override {}
    void DoEvents() override {}
    void PostTabToActiveWindow() override {}
    void SetWindowPos(QWidget*, bool, const QRect&) override {}
    bool OpenUrl(const QString&) override { return false; }
    QString ProgramFolder() override { return folder; }
    QString ProgramFileName() override { return QStringLiteral("banterly"); }
    QDateTime Now() override { return QDateTime(QDate(2026, 11, 1), QTime(12, 0)); }
    double ScreenWidthTwips() override { return 1280.0 * 15; }
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
};
