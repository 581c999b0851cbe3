#include "ui/app/RemoteCommands.h"

#include "ui/app/Controller.h"

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
    if (request.command == QLatin1String("data-folder")) {
        if (request.args.size() != 1)
            return {2, {}, request.command + QStringLiteral(" takes one folder")};
        const ExchangeResult r = app.MoveDataWithWindows(request.args.first());
        return {int(r.status), r.summary, r.error};
    }
    return {2,
            {},
            QStringLiteral("unknown command: %1 %2")
                .arg(request.command, request.args.join(QLatin1Char(' ')))
                .trimmed()};
}
