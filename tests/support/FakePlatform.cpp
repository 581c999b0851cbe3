#include "support/FakePlatform.h"

#include "ui/desktop/Fonts.h"

#include <QCoreApplication>
#include <QWidget>

// The windows under test see the fonts the program sets up at start.
FakePlatform::FakePlatform()
{
    m_previousDesktop = SetDesktop(this);
    InstallFontStandIns();
}

FakePlatform::~FakePlatform() { SetDesktop(m_previousDesktop); }

QString FakePlatform::InputBox(const QString& prompt, const QString& title,
                               const QString& defaultText, double leftTwips, double topTwips)
{
    Record(QStringLiteral("InputBox"), {prompt, title, defaultText, QString::number(leftTwips),
                                        QString::number(topTwips)});
    return inputAnswers.isEmpty() ? QString() : inputAnswers.takeFirst();
}

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

bool FakePlatform::MessageBoxWithAction(const QString& text, const QString& actionCaption)
{
    Record(QStringLiteral("MessageBoxWithAction"), {text, actionCaption});
    return actionAnswer;
}

double FakePlatform::ScreenWidthTwips() { return screenWidthTwips; }

QRect FakePlatform::AvailableArea(const QWidget*) { return availableArea; }

QString FakePlatform::ChooseFile(bool save, const QString& title, const QString& filter,
                                 const QString& suggestedName)
{
    Record(QStringLiteral("ChooseFile"),
           {title, save ? QStringLiteral("save") : QStringLiteral("open"), filter, suggestedName});
    return fileAnswers.isEmpty() ? QString() : fileAnswers.takeFirst();
}

QString FakePlatform::ChooseFolder(const QString& title, const QString& startFolder)
{
    Record(QStringLiteral("ChooseFolder"), {title, startFolder});
    return folderAnswers.isEmpty() ? QString() : folderAnswers.takeFirst();
}
