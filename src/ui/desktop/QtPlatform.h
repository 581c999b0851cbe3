#pragma once

#include "ui/desktop/Desktop.h"
#include "core/platform/SystemPlatform.h"

// The platform of the running program: Qt Widgets on the desktop. It is both
// the core's platform (its failures shown in message boxes) and the windows'
// desktop.
class QtPlatform : public SystemPlatform, public Desktop {
public:
    // Needs the application object; keeps its modal dialogs on the screen.
    explicit QtPlatform(const QString& programFolder = QString());
    void MessageBox(const QString& text) override;
    void Beep() override;
    QString InputBox(const QString& prompt, const QString& title, const QString& defaultText,
                     double leftTwips, double topTwips) override;
    void ClipboardClear() override;
    void ClipboardSetText(const QString& text) override;
    void SetBusyPointer(bool busy) override;
    void DoEvents() override;
    void PostTabToActiveWindow() override;
    void SetWindowPos(QWidget* window, bool topmost, const QRect& pixels) override;
    bool OpenUrl(const QString& url) override;
    bool MessageBoxWithAction(const QString& text, const QString& actionCaption) override;
    double ScreenWidthTwips() override;
    QRect AvailableArea(const QWidget* near) override;
    QString ChooseFile(bool save, const QString& title, const QString& filter,
                       const QString& suggestedName) override;
    QString ChooseFolder(const QString& title, const QString& startFolder) override;

private:
    int m_busyDepth = 0;
};
