#pragma once

#include <QString>

// Where the file dialogs of imports and exports open: the folder the last
// import or export of that kind ("contacts" or "phrases", also the INI
// section) went to, kept in banterly.ini as ExchangeFolder; the home folder
// the first time, or when that folder is gone.
QString ExchangeFolder(const QString& iniFile, const QString& kind);
// Keeps the folder of a chosen file for the next dialog of that kind. A
// failure to write it is only logged.
void RememberExchangeFolder(const QString& iniFile, const QString& kind, const QString& file);
