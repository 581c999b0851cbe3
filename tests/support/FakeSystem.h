#pragma once

#include "core/platform/Platform.h"

#include <QList>
#include <QStringList>
#include <QTemporaryDir>

// The core's platform for tests: records every call and keeps the INI calls
// on real files (through the same editor as the program), so a test can say
// "exactly one message box with this text, one beep". Installed while it
// lives.
class FakeSystem : public Platform {
    // Declared first: programFolder's initialiser uses it.
    QTemporaryDir m_ownFolder;

public:
    struct Call {
        QString name;
        QStringList args;
    };

    FakeSystem();
    ~FakeSystem() override;

    // Recorded calls, oldest first.
    QList<Call> calls;
    int Count(const QString& name) const;
    QStringList Args(const QString& name) const;  // first argument of each such call
    QStringList Messages() const { return Args(QStringLiteral("MessageBox")); }
    void Reset()
    {
        calls.clear();
        iniBatches.clear();
    }

    // Every WriteProfileStrings call, as given (it is also in `calls`, by
    // name with the file, so its place among the other calls shows).
    struct IniBatch {
        QString file;
        QList<IniEdit> edits;
    };
    QList<IniBatch> iniBatches;
    // The edits of every batch as "section/key=value", oldest first.
    QStringList IniEditTexts() const;

    QDateTime now = QDateTime(QDate(2026, 12, 7), QTime(22, 5, 9));
    // A fresh temporary folder unless the test names one, so that nothing a
    // test logs or saves lands in the file system's root.
    QString programFolder = m_ownFolder.path();
    QString programFileName = QStringLiteral("banterly");
    VersionNumbers version{1, 0, 31};

    void MessageBox(const QString& text) override;
    void Beep() override;
    QString ProgramFolder() override;
    QString ProgramFileName() override;
    QDateTime Now() override;
    VersionNumbers Version() override;
    int ReadProfileString(const QString& section, const QString& key, const QString& defaultValue,
                          QString& value, int bufferSize, const QString& file) override;
    bool WriteProfileString(const QString& section, const QString& key, const QString& value,
                            const QString& file) override;
    bool WriteProfileStrings(const QString& file, const QList<IniEdit>& edits) override;

protected:
    void Record(const QString& name, const QStringList& args = {});

private:
    Platform* m_previous = nullptr;
};
