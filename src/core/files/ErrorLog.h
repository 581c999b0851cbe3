#pragma once

#include <QString>

// Appends one line to the program's log beside the program:
// yyyymmdd,hh:mm:ss,,message CR LF. When the log cannot be written the line
// goes to error.log instead; a failure there is ignored. Never fails.
void LogError(const QString& message);

// Tells the user of a failure through the platform's reporting sink and
// writes it to the log.
void ReportFailure(const QString& message);

// The program's version as text, for example "v1.0.31".
QString GetVersionString();
