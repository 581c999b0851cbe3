#include "ui/app/RemoteCommands.h"

#include "ui/app/Controller.h"

#include <cstdio>

SingleInstance::Reply RunRemoteCommand(Controller& app, const SingleInstance::Request& request)
{
    if (request.command == QLatin1String("show") && request.args.size() == 1 &&
        app.ShowWindowNamed(request.args.first())) {
        return {0, QString(), {}};
    }
    if (request.command.startsWith(QLatin1String("import-")) ||
        request.command.startsWith(QLatin1String("export-"))) {
        if (request.args.size() != 1)
            return {2, {}, request.command + QStringLiteral(" takes one file")};
        const ExchangeResult r = app.ExchangeWithWindows(request.command, request.args.first());
        return {int(r.status), r.summary, r.error};
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
