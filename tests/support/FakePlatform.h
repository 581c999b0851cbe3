#pragma once

#include "ui/desktop/Desktop.h"
#include "support/FakeSystem.h"

// The whole platform for window tests: the core's recording fake plus the
// desktop (input boxes answered from a queue, a clipboard in memory).
// Installed as both while it lives.
class FakePlatform : public FakeSystem, public Desktop {
public:
    FakePlatform();
    ~FakePlatform() override;

    // Answers for InputBox, taken from the front; an empty queue answers ""
    // (as if cancelled).
    QStringList inputAnswers;
    double screenWidthTwips = 1280.0 * 15;
    bool openUrlResult = true;
    bool processEvents = true;  // DoEvents runs the real event loop once
    QString clipboard;          // what ClipboardSetText put there

    QString InputBox(const QString& prompt, const QString& title, const QString& defaultText,
                     double leftTwips, double topTwips) override;
    void ClipboardClear() override;
    void ClipboardSetText(const QString& text) override;
    void SetBusyPointer(bool busy) override;
    void DoEvents() override;
    void PostTabToActiveWindow() override;
    void SetWindowPos(QWidget* window, bool topmost, const QRect& pixels) override;
    bool OpenUrl(const QString& url) override;
    // What MessageBoxWithAction answers: true presses the second button.
    bool actionAnswer = false;
    bool MessageBoxWithAction(const QString& text, const QString& actionCaption) override;
    double ScreenWidthTwips() override;
    // What AvailableArea answers, whatever the window: by default far larger
    // than any test's windows, so nothing is moved onto it.
    QRect availableArea{-100000, -100000, 200000, 200000};
    QRect AvailableArea(const QWidget* near) override;
    // Answers for ChooseFile, taken from the front; an empty queue cancels.
    QStringList fileAnswers;
    QString ChooseFile(bool save, const QString& title, const QString& filter,
                       const QString& suggestedName) override;
    // Answers for ChooseFolder, taken from the front; an empty queue cancels.
    QStringList folderAnswers;
    QString ChooseFolder(const QString& title, const QString& startFolder) override;

private:
    Desktop* m_previousDesktop = nullptr;
};
