#include "platform/QtPlatform.h"

#include "platform/IniFile.h"
#include "platform/Twips.h"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <QWindow>

void QtPlatform::MessageBox(const QString& text)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Banterly"), text, QMessageBox::Ok);
    box.exec();
}

QString QtPlatform::InputBox(const QString& prompt, const QString& title,
                             const QString& defaultText, double leftTwips, double topTwips)
{
    QInputDialog dialog;
    dialog.setWindowTitle(title);
    dialog.setLabelText(prompt);
    dialog.setTextValue(defaultText);
    dialog.setInputMode(QInputDialog::TextInput);
    // A long prompt wraps instead of making the box wider than the screen
    // (the window manager would then move it away from where it belongs).
    if (auto* label = dialog.findChild<QLabel*>())
        label->setWordWrap(true);
    // The corner is that of the outer frame. The size is settled first, so
    // that showing does not resize the native window, which would make the
    // position count for the inner area again.
    const QPoint corner(TwipsToPixels(leftTwips), TwipsToPixels(topTwips));
    dialog.move(corner);
    dialog.adjustSize();
    dialog.winId();
    if (QWindow* handle = dialog.windowHandle())
        handle->setFramePosition(corner);
    // Some window managers still take the first position as that of the
    // client area: once the frame is known, the outer frame is put on the
    // corner (checked for up to a second).
    QTimer frameCheck;
    int checks = 0;
    QObject::connect(&frameCheck, &QTimer::timeout, &dialog, [&] {
        if (dialog.isVisible() && dialog.frameGeometry() != dialog.geometry()) {
            if (dialog.frameGeometry().topLeft() != corner)
                dialog.move(corner);
            frameCheck.stop();
        } else if (++checks > 50) {
            frameCheck.stop();
        }
    });
    frameCheck.start(20);
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    return dialog.textValue();
}

void QtPlatform::Beep() { QApplication::beep(); }

void QtPlatform::ClipboardClear() { QGuiApplication::clipboard()->clear(); }

void QtPlatform::ClipboardSetText(const QString& text)
{
    QGuiApplication::clipboard()->setText(text);
}

void QtPlatform::SetBusyPointer(bool busy)
{
    if (busy) {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        ++m_busyDepth;
    } else {
        while (m_busyDepth > 0) {
            QGuiApplication::restoreOverrideCursor();
            --m_busyDepth;
        }
    }
}

void QtPlatform::DoEvents() { QCoreApplication::processEvents(); }

void QtPlatform::PostTabToActiveWindow()
{
    QWidget* target = QApplication::focusWidget();
    if (!target)
        target = QApplication::activeWindow();
    if (!target)
        return;
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier));
    QCoreApplication::postEvent(target,
                                new QKeyEvent(QEvent::KeyRelease, Qt::Key_Tab, Qt::NoModifier));
}

void QtPlatform::SetWindowPos(QWidget* window, bool topmost, const QRect& pixels)
{
    if (!window)
        return;
    // Changing the flags of the native window handle neither re-creates the
    // window nor activates it, and it stays where it is.
    window->setAttribute(Qt::WA_ShowWithoutActivating, true);
    window->winId();
    Qt::WindowFlags flags = window->windowFlags();
    flags.setFlag(Qt::WindowStaysOnTopHint, topmost);
    window->overrideWindowFlags(flags);
    if (QWindow* handle = window->windowHandle())
        handle->setFlags(flags);
    window->move(pixels.topLeft());
    if (!window->isVisible())
        window->show();
}

bool QtPlatform::OpenUrl(const QString& url) { return QDesktopServices::openUrl(QUrl(url)); }

QString ChooseProgramFolder(const QString& executableFolder, const QString& userDataFolder)
{
    // A real write test: the permission bits do not tell about read-only
    // mounts and access lists.
    QTemporaryFile probe(executableFolder + QStringLiteral("/.banterly-write-test-XXXXXX"));
    if (probe.open())
        return executableFolder;
    QDir().mkpath(userDataFolder);
    return userDataFolder;
}

QString QtPlatform::ProgramFolder()
{
    if (m_programFolder.isEmpty()) {
        m_programFolder = ChooseProgramFolder(
            QCoreApplication::applicationDirPath(),
            QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    }
    return m_programFolder;
}

QString QtPlatform::ProgramFileName()
{
    return QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
}

QDateTime QtPlatform::Now() { return QDateTime::currentDateTime(); }

double QtPlatform::ScreenWidthTwips()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? PixelsToTwips(screen->geometry().width()) : 0.0;
}

VersionNumbers QtPlatform::Version()
{
    return {BANTERLY_VERSION_MAJOR, BANTERLY_VERSION_MINOR, BANTERLY_VERSION_REVISION};
}

int QtPlatform::ReadProfileString(const QString& section, const QString& key,
                                  const QString& defaultValue, QString& value, int bufferSize,
                                  const QString& file)
{
    const std::optional<QString> found = Ini::ReadValue(file, section, key);
    value = found.value_or(defaultValue).left(qMax(0, bufferSize - 1));
    return int(value.size());
}

bool QtPlatform::WriteProfileString(const QString& section, const QString& key,
                                    const QString& value, const QString& file)
{
    return Ini::WriteValue(file, section, key, value);
}
