#include "app/RemoteCommands.h"

#include "app/Windows.h"
#include "app/frmToolbar1.h"

#include <cstdio>

SingleInstance::Reply RunRemoteCommand(const SingleInstance::Request& request)
{
    if (request.command == QLatin1String("show") && request.args == QStringList{"toolbar"}) {
        frmToolbar1& toolbar = Toolbar();
        toolbar.showNormal();
        toolbar.raise();
        toolbar.activateWindow();
        return {0, QStringLiteral("Banterly is already running; its toolbar is shown."), {}};
    }
    return {2,
            {},
            QStringLiteral("unknown command: %1 %2")
                .arg(request.command, request.args.join(QLatin1Char(' ')))
                .trimmed()};
}

int HandOverToRunningCopy(SingleInstance& instance, const SingleInstance::Request& request)
{
    SingleInstance::Reply reply;
    if (!instance.Send(request, &reply)) {
        std::fprintf(stderr,
                     "Banterly is already running for this folder but does not answer (%s).\n",
                     qPrintable(reply.err));
        return 1;
    }
    if (!reply.out.isEmpty())
        std::printf("%s\n", qPrintable(reply.out));
    if (!reply.err.isEmpty())
        std::fprintf(stderr, "%s\n", qPrintable(reply.err));
    return reply.status;
}
