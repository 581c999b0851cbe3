#include "app/RemoteCommands.h"
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

    // One copy per data folder: a second start brings the running copy's
    // toolbar forward and ends.
    SingleInstance single(qtPlatform.ProgramFolder());
    single.SetHandler(RunRemoteCommand);
    if (!single.Claim()) {
        const int status =
            HandOverToRunningCopy(single, {QStringLiteral("show"), {QStringLiteral("toolbar")}});
        SetPlatform(nullptr);
        return status;
    }

    Toolbar().Load();
    const int rc = app.exec();
    UnloadAllWindows();
    SetDesktop(nullptr);
    SetPlatform(nullptr);
    return rc;
}
