#pragma once

#include "platform/Platform.h"

// The platform of the running program: Qt Widgets on the desktop.
class QtPlatform : public Platform {
public:
    void MessageBox(const QString& text) override;
    QString InputBox(const QString& prompt, const QString& title, const QString& defaultText,
                     double leftTwips, double topTwips) override;
    void Beep() override;
    void ClipboardClear() override;
    void ClipboardSetText(const QString& text) override;
    void SetBusyPointer(bool busy) override;
    void DoEvents() override;
    void PostTabToActiveWindow() override;
    void SetWindowPos(QWidget* window, bool topmost, const QRect& pixels) override;
    bool OpenUrl(const QString& url) override;
    QString ProgramFolder() override;
    QString ProgramFileName() override;
    QDateTime Now() override;
    double ScreenWidthTwips() override;
    VersionNumbers Version() override;
    int ReadProfileString(const QString& section, const QString& key, const QString& defaultValue,
                          QString& value, int bufferSize, const QString& file) override;
    bool WriteProfileString(const QString& section, const QString& key, const QString& value,
                            const QString& file) override;

private:
    QString m_programFolder;
    int m_busyDepth = 0;
};

// Where the program keeps its files: the folder of the executable when it can
// be written there, otherwise the per-user application data folder.
QString ChooseProgramFolder(const QString& executableFolder, const QString& userDataFolder);
