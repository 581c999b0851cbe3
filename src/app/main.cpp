#include "app/Windows.h"
#include "app/frmToolbar1.h"
#include "files/PreviousVersions.h"
#include "platform/QtPlatform.h"

#include <QApplication>
#include <csignal>

int main(int argc, char* argv[])
{
    // On a Wayland session a program can neither place its own windows nor
    // keep itself above others; run through XWayland unless the user chose.
    if (qEnvironmentVariableIsSet("WAYLAND_DISPLAY") && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");

    // A file-size limit must show up as a failed write (which is reported and
    // leaves the old file whole), not end the program.
    std::signal(SIGXFSZ, SIG_IGN);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Banterly"));
    QApplication::setQuitOnLastWindowClosed(false);

    QtPlatform qtPlatform;
    SetPlatform(&qtPlatform);
    KeepPreviousVersions();
    SetDesktop(&qtPlatform);

    Toolbar().Load();
    const int rc = app.exec();
    UnloadAllWindows();
    SetDesktop(nullptr);
    SetPlatform(nullptr);
    return rc;
}
