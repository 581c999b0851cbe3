#include "app/Windows.h"
#include "app/frmToolbar1.h"
#include "platform/QtPlatform.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    // On a Wayland session a program can neither place its own windows nor
    // keep itself above others; run through XWayland unless the user chose.
    if (qEnvironmentVariableIsSet("WAYLAND_DISPLAY") && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Banterly"));
    QApplication::setQuitOnLastWindowClosed(false);

    QtPlatform qtPlatform;
    SetPlatform(&qtPlatform);

    Toolbar().Load();
    const int rc = app.exec();
    UnloadAllWindows();
    SetPlatform(nullptr);
    return rc;
}
