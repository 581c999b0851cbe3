#pragma once

#include <QString>

// Appends one line to the program's log beside the program:
// yyyymmdd,hh:mm:ss,,message CR LF. When the log cannot be written the line
// goes to error.log instead; a failure there is ignored. Never fails.
void LogError(const QString& message);

// A failure the user must be told of: what the user is shown, and the line
// the log keeps of it (the message itself when the log has no words of its
// own). The core hands it up; the windows' reporter tells the user.
struct Problem {
    QString message;
    QString logLine;
    bool IsEmpty() const { return message.isEmpty(); }
};

// Tells the user of a failure: writes it to the log, then shows it through
// the platform's reporting sink (a message box in the program, standard
// error in a run without windows).
void ReportFailure(const QString& message);
void ReportFailure(const Problem& problem);

// The program's version as text, for example "v1.0.31".
QString GetVersionString();
