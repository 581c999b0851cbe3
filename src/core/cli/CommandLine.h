#pragma once

#include <QString>
#include <QStringList>

// What a start of the program was asked to do.
struct StartRequest {
    enum Action {
        Run,        // start (or bring forward) the program
        Help,       // print the usage and end
        Version,    // print the version and end
        Show,       // start (or ask the running copy) and show a window
        Exchange,   // import, export or moving the data (data-folder), by the
                    // running copy or without windows
        BadUsage,   // print `error` and end with status 2
    };
    Action action = Run;
    QString window;   // Show: "contacts", "card", "phrases" or "options"
    QString command;  // Exchange: "import-contacts", "export-contacts", "import-phrases",
                      // "export-phrases", "data-folder"
    QString file;     // Exchange: the file (the folder for data-folder), made absolute
    QString error;    // BadUsage
    QString helpText; // Help
};

// Reads the program's arguments (GNU style: --show phrases, --show=phrases).
// Needs no application object, so it runs before any display is opened.
StartRequest ParseCommandLine(const QStringList& arguments);

// The version line: "Banterly v1.0.31".
QString VersionLine();
