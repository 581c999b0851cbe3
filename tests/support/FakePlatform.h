#pragma once

#include "platform/Platform.h"

#include <QList>
#include <QStringList>
#include <QTemporaryDir>

// A platform for tests: records every call, answers input boxes from a queue
// and keeps the INI calls on real files (through the same editor as the
// program), so a test can say "exactly one message box with this text, one
// beep".
class FakePlatform : public Platform {
    // Declared first: programFolder's initialiser uses it.
    QTemporaryDir m_ownFolder;

public:
    struct Call {
        QString name;
        QStringList args;
    };

    FakePlatform();
    ~FakePlatform() override;

    // Recorded calls, oldest first.
    QList<Call> calls;
    int Count(const QString& name) const;
    QStringList Args(const QString& name) const;  // first argument of each such call
    QStringList Messages() const { return Args(QStringLiteral("MessageBox")); }
    void Reset() { calls.clear(); }

    // Answers for InputBox, taken from the front; an empty queue answers ""
    // (as if cancelled).
    QStringList inputAnswers;
    QDateTime now = QDateTime(QDate(2026, 12, 7), QTime(22, 5, 9));
    // A fresh temporary folder unless the test names one, so that nothing a
    // test logs or saves lands in the file system's root.
    QString programFolder = m_ownFolder.path();
    QString programFileName = QStringLiteral("banterly");
    double screenWidthTwips = 1280.0 * 15;
    VersionNumbers version{1, 0, 31};
    bool openUrlResult = true;
    bool processEvents = true;  // DoEvents runs the real event loop once
    QString clipboard;          // what ClipboardSetText put there

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
    void Record(const QString& name, const QStringList& args = {});
    Platform* m_previous = nullptr;
};
