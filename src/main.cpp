#include "core/cli/CommandLine.h"
#include "core/cli/SingleInstance.h"
#include "ui/app/RemoteCommands.h"
#include "ui/app/Reporter.h"
#include "ui/app/Controller.h"
#include "core/contacts/ContactStore.h"
#include "core/exchange/DataFolder.h"
#include "core/exchange/Exchange.h"
#include "core/files/ErrorLog.h"
#include "core/files/PreviousVersions.h"
#include "core/platform/AtomicFile.h"
#include "ui/desktop/QtPlatform.h"
#include "core/settings/Settings.h"
#include "core/platform/SystemPlatform.h"

#include <QApplication>
#include <QTimer>
#include <csignal>
#include <cstdio>

namespace {

QStringList Arguments(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

void Print(std::FILE* stream, const QString& text)
{
    if (!text.isEmpty())
        std::fprintf(stream, "%s\n", text.toLocal8Bit().constData());
}

// An import or export, or moving the data files: carried out by the running copy of the data folder,
// or here without a window (and without a display) when none runs.
int RunExchangeCommand(int argc, char* argv[], const StartRequest& request)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Banterly"));
    SystemPlatform system;
    SetPlatform(&system);
    KeepPreviousVersions([](const QString& message) { ReportFailure(message); });
    SingleInstance single(system.ProgramFolder());
    int status = 0;
    bool claimed = single.Claim();
    if (!claimed && single.ClaimProblem().isEmpty())
        status = HandOverToRunningCopy(single, {request.command, {request.file}}, &claimed);
    if (!claimed && !single.ClaimProblem().isEmpty()) {
        // Without the claim another copy may be writing the same files.
        Print(stderr, QStringLiteral("Banterly could not claim its data folder (%1); nothing was done.")
                          .arg(single.ClaimProblem()));
        status = 1;
    } else if (claimed) {
        // What goes wrong is printed on standard error, as every report of a
        // run without windows is.
        Settings settings;
        ReportProblems(settings);
        settings.LoadSettings();
        ContactStore book;
        ReportProblems(book);
        const bool move = request.command == QStringLiteral("data-folder");
        if (move || request.command.endsWith(QStringLiteral("-contacts"))) {
            book.ContactFilePath = settings.ContactFilePath;
            book.LoadContacts();
        }
        const ExchangeResult result =
            move ? MoveDataFiles(book, settings, request.file)
                 : RunExchange(book, request.command, request.file, settings.PhraseListFile);
        Print(stdout, result.summary);
        if (result.status != ExchangeResult::Done)
            Print(stderr, QStringLiteral("Banterly: ") + result.error);
        status = result.status;
    }
    SetPreviousVersionKeeper(nullptr);
    SetPlatform(nullptr);
    return status;
}

} // namespace

int main(int argc, char* argv[])
{
    // The command line is read before anything opens a display, so --help,
    // --version and the imports and exports run without one.
    const StartRequest request = ParseCommandLine(Arguments(argc, argv));
    switch (request.action) {
    case StartRequest::Help:
        Print(stdout, request.helpText);
        return 0;
    case StartRequest::Version:
        Print(stdout, VersionLine());
        return 0;
    case StartRequest::BadUsage:
        Print(stderr, QStringLiteral("banterly: ") + request.error +
                          QStringLiteral("\nTry 'banterly --help' for more information."));
        return 2;
    case StartRequest::Exchange:
        return RunExchangeCommand(argc, argv, request);
    case StartRequest::Run:
    case StartRequest::Show:
        break;
    }

    // One copy per data folder. The claim comes first and needs neither a
    // display nor an application object, so a later start hands its request
    // to the running copy (which shows its toolbar, or the window asked for)
    // and ends at the cost of loading the program.
    QCoreApplication::setApplicationName(QStringLiteral("Banterly"));
    const QString folder = DefaultProgramFolder();
    const QString window = request.action == StartRequest::Show ? request.window
                                                                 : QStringLiteral("toolbar");
    SingleInstance single(folder);
    bool claimed = single.Claim();
    if (!claimed && single.ClaimProblem().isEmpty()) {
        const int status = HandOverToRunningCopy(single, {QStringLiteral("show"), {window}}, &claimed);
        if (!claimed)
            return status;
    }
    // A copy that cannot claim the folder may run beside another copy of
    // it: it runs, says so, and writes nothing.
    QString unclaimed;
    if (!claimed) {
        unclaimed = QStringLiteral("Banterly could not claim its data folder (%1), so another "
                                   "copy may be using it. This copy saves nothing: what you "
                                   "change in it is lost when it ends.")
                        .arg(single.ClaimProblem());
        RefuseWrites(QStringLiteral("this copy of Banterly saves nothing (its data folder is "
                                    "not claimed)"));
    }
    // Later starts wait in the socket's queue until the book is read.
    if (claimed)
        single.Listen();

    // On a Wayland session a program can neither place its own windows nor
    // keep itself above others; run through XWayland unless the user chose.
    if (qEnvironmentVariableIsSet("WAYLAND_DISPLAY") && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");

    // A file-size limit must show up as a failed write (which is reported and
    // leaves the old file whole), not end the program.
    std::signal(SIGXFSZ, SIG_IGN);

    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    QtPlatform qtPlatform(folder);
    SetPlatform(&qtPlatform);
    KeepPreviousVersions([](const QString& message) { ReportFailure(message); });
    SetDesktop(&qtPlatform);

    // The book, the settings and the phrase list of the run; the windows come
    // when they are first shown. The toolbar is shown first; the files are
    // read once it is on the screen, and only then are later starts answered.
    Controller controller;
    single.SetHandler([&controller](const SingleInstance::Request& r) {
        return RunRemoteCommand(controller, r);
    });
    QObject::connect(&controller, &Controller::ready, &single, [&controller, &single, &request, window] {
        if (request.action == StartRequest::Show)
            controller.ShowWindowNamed(window);
        single.Serve();
    });
    controller.Start();
    if (!unclaimed.isEmpty())
        QTimer::singleShot(0, &controller, [unclaimed] { ReportFailure(unclaimed); });
    const int rc = app.exec();
    controller.UnloadAllWindows();
    SetPreviousVersionKeeper(nullptr);
    SetDesktop(nullptr);
    SetPlatform(nullptr);
    return rc;
}
