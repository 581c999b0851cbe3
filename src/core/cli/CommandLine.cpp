#include "core/cli/CommandLine.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

namespace {

const QStringList kWindows = {QStringLiteral("contacts"), QStringLiteral("card"),
                              QStringLiteral("phrases"), QStringLiteral("options")};
const QStringList kExchanges = {QStringLiteral("export-contacts"), QStringLiteral("import-contacts"),
                                QStringLiteral("export-phrases"), QStringLiteral("import-phrases"),
                                QStringLiteral("data-folder")};

StartRequest Bad(const QString& error)
{
    StartRequest r;
    r.action = StartRequest::BadUsage;
    r.error = error;
    return r;
}

} // namespace

QString VersionLine()
{
    return QStringLiteral("Banterly v%1.%2.%3")
        .arg(BANTERLY_VERSION_MAJOR)
        .arg(BANTERLY_VERSION_MINOR)
        .arg(BANTERLY_VERSION_REVISION);
}

StartRequest ParseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("A desktop companion for web chat rooms: a toolbar with a clock, an address "
                       "book of chat acquaintances and a list of phrases to paste into a chat."));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and end."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Show the version and end."));
    const QCommandLineOption show(
        QStringLiteral("show"),
        QStringLiteral("Show a window of the running copy (starting it when none runs): "
                       "contacts, card, phrases or options."),
        QStringLiteral("window"));
    QList<QCommandLineOption> exchanges;
    const char* what[5] = {
        "Write the contacts to FILE (.vcf vCard, .csv CSV).",
        "Add the contacts of FILE (.vcf vCard, .csv CSV) that are not in the book yet.",
        "Write the phrases to FILE, one a line (UTF-8).",
        "Add the phrases of FILE (one a line) that are not in the list yet.",
        "Keep the contacts, the phrases and their backups in DIR from now on (merged with "
        "what DIR holds)."};
    for (int i = 0; i < 5; ++i)
        exchanges.append(QCommandLineOption(kExchanges[i], QString::fromLatin1(what[i]),
                                            i < 4 ? QStringLiteral("FILE") : QStringLiteral("DIR")));
    parser.addOption(help);
    parser.addOption(version);
    parser.addOption(show);
    for (const QCommandLineOption& o : exchanges)
        parser.addOption(o);

    if (!parser.parse(arguments))
        return Bad(parser.errorText());
    if (!parser.positionalArguments().isEmpty())
        return Bad(QStringLiteral("Unexpected argument: ") + parser.positionalArguments().first());
    StartRequest r;
    if (parser.isSet(help)) {
        r.action = StartRequest::Help;
        r.helpText = parser.helpText().replace(QStringLiteral("<executable_name>"),
                                               QStringLiteral("banterly"));
        return r;
    }
    if (parser.isSet(version)) {
        r.action = StartRequest::Version;
        return r;
    }
    int asked = parser.isSet(show) ? 1 : 0;
    for (const QCommandLineOption& o : exchanges)
        asked += parser.isSet(o) ? 1 : 0;
    if (asked > 1)
        return Bad(QStringLiteral("Give one of --show, --data-folder and the import and export "
                                  "options at a time."));
    if (parser.isSet(show)) {
        const QStringList values = parser.values(show);
        if (values.size() != 1 || !kWindows.contains(values.first()))
            return Bad(QStringLiteral("--show takes one of: ") + kWindows.join(QStringLiteral(", ")));
        r.action = StartRequest::Show;
        r.window = values.first();
        return r;
    }
    for (int i = 0; i < 5; ++i) {
        if (!parser.isSet(exchanges[i]))
            continue;
        const QStringList values = parser.values(exchanges[i]);
        if (values.size() != 1 || values.first().isEmpty())
            return Bad(QStringLiteral("--") + kExchanges[i] +
                       (i < 4 ? QStringLiteral(" takes one file") : QStringLiteral(" takes one folder")));
        r.action = StartRequest::Exchange;
        r.command = kExchanges[i];
        r.file = QFileInfo(values.first()).absoluteFilePath();
        return r;
    }
    return r;
}
