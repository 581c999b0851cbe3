#include "support/FakePlatform.h"

#include "platform/IniFile.h"

#include <QCoreApplication>
#include <QWidget>

FakePlatform::FakePlatform() { m_previous = SetPlatform(this); }

FakePlatform::~FakePlatform() { SetPlatform(m_previous); }

void FakePlatform::Record(const QString& name, const QStringList& args)
{
    calls.append({name, args});
}

int FakePlatform::Count(const QString& name) const
{
    int n = 0;
    for (const Call& c : calls)
        n += c.name == name;
    return n;
}

QStringList FakePlatform::Args(const QString& name) const
{
    QStringList out;
    for (const Call& c : calls)
        if (c.name == name)
            out.append(c.args.value(0));
    return out;
}

void FakePlatform::MessageBox(const QString& text) { Record(QStringLiteral("MessageBox"), {text}); }

QString FakePlatform::InputBox(const QString& prompt, const QString& title,
                               const QString& defaultText, double leftTwips, double topTwips)
{
    Record(QStringLiteral("InputBox"), {prompt, title, defaultText, QString::number(leftTwips),
                                        QString::number(topTwips)});
    return inputAnswers.isEmpty() ? QString() : inputAnswers.takeFirst();
}

void FakePlatform::Beep() { Record(QStringLiteral("Beep")); }

void FakePlatform::ClipboardClear()
{
    Record(QStringLiteral("ClipboardClear"));
    clipboard.clear();
}

void FakePlatform::ClipboardSetText(const QString& text)
{
    Record(QStringLiteral("ClipboardSetText"), {text});
    clipboard = text;
}

void FakePlatform::SetBusyPointer(bool busy)
{
    Record(QStringLiteral("SetBusyPointer"), {busy ? QStringLiteral("busy") : QStringLiteral("default")});
}

void FakePlatform::DoEvents()
{
    Record(QStringLiteral("DoEvents"));
    if (processEvents)
        QCoreApplication::processEvents();
}

void FakePlatform::PostTabToActiveWindow() { Record(QStringLiteral("PostTab")); }

void FakePlatform::SetWindowPos(QWidget* window, bool topmost, const QRect& pixels)
{
    Record(QStringLiteral("SetWindowPos"),
           {window ? window->windowTitle() : QString(),
            topmost ? QStringLiteral("topmost") : QStringLiteral("not topmost"),
            QStringLiteral("%1,%2,%3,%4")
                .arg(pixels.x())
                .arg(pixels.y())
                .arg(pixels.width())
                .arg(pixels.height())});
    if (window && !window->isVisible())
        window->show();
}

bool FakePlatform::OpenUrl(const QString& url)
{
    Record(QStringLiteral("OpenUrl"), {url});
    return openUrlResult;
}

QString FakePlatform::ProgramFolder() { return programFolder; }
QString FakePlatform::ProgramFileName() { return programFileName; }
QDateTime FakePlatform::Now() { return now; }
double FakePlatform::ScreenWidthTwips() { return screenWidthTwips; }
VersionNumbers FakePlatform::Version() { return version; }

int FakePlatform::ReadProfileString(const QString& section, const QString& key,
                                    const QString& defaultValue, QString& value, int bufferSize,
                                    const QString& file)
{
    Record(QStringLiteral("ReadProfileString"), {section, key, file});
    const std::optional<QString> found = Ini::ReadValue(file, section, key);
    value = found.value_or(defaultValue).left(qMax(0, bufferSize - 1));
    return int(value.size());
}

bool FakePlatform::WriteProfileString(const QString& section, const QString& key,
                                      const QString& value, const QString& file)
{
    Record(QStringLiteral("WriteProfileString"), {section, key, value, file});
    return Ini::WriteValue(file, section, key, value);
}
