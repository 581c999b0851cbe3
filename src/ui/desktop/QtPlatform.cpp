#include "ui/desktop/QtPlatform.h"

#include "ui/desktop/ModalDialogs.h"
#include "ui/desktop/Twips.h"

#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <QWindow>

#include "ui/desktop/XLibraries.h"  // after Qt's headers (the X macros)

QtPlatform::QtPlatform(const QString& programFolder) : SystemPlatform(programFolder)
{
    KeepModalDialogsOnScreen();
}

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
    // window nor activates it, and it stays where it is. A window that has
    // no native window yet takes the flags when it is created (at the first
    // show), in the same requests that create it.
    window->setAttribute(Qt::WA_ShowWithoutActivating, true);
    Qt::WindowFlags flags = window->windowFlags();
    flags.setFlag(Qt::WindowStaysOnTopHint, topmost);
    window->overrideWindowFlags(flags);
    if (window->testAttribute(Qt::WA_WState_Created))
        if (QWindow* handle = window->windowHandle())
            handle->setFlags(flags);
    window->move(pixels.topLeft());
    if (!window->isVisible()) {
        window->show();
        // The request goes to the X server now, not at the next event loop
        // run, so the window is mapped while the caller works on.
        auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        if (x11 && QGuiApplication::platformName() == QLatin1String("xcb") && x11->connection())
            if (const XcbFunctions* xcb = Xcb())
                xcb->flush(x11->connection());
    }
}

bool QtPlatform::OpenUrl(const QString& url) { return QDesktopServices::openUrl(QUrl(url)); }

bool QtPlatform::MessageBoxWithAction(const QString& text, const QString& actionCaption)
{
    QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Banterly"), text, QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    QPushButton* action = box.addButton(actionCaption, QMessageBox::ActionRole);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
    return box.clickedButton() == action;
}

QString QtPlatform::ChooseFile(bool save, const QString& title, const QString& filter,
                              const QString& suggestedName)
{
    return save ? QFileDialog::getSaveFileName(nullptr, title, suggestedName, filter)
                : QFileDialog::getOpenFileName(nullptr, title, suggestedName, filter);
}

QString QtPlatform::ChooseFolder(const QString& title, const QString& startFolder)
{
    return QFileDialog::getExistingDirectory(nullptr, title, startFolder);
}

double QtPlatform::ScreenWidthTwips()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? PixelsToTwips(screen->geometry().width()) : 0.0;
}

QRect QtPlatform::AvailableArea(const QWidget* near)
{
    QScreen* screen = near ? QGuiApplication::screenAt(near->frameGeometry().center()) : nullptr;
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}
