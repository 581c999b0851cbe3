#pragma once

class ContactStore;
class PhraseList;
class Settings;

// The one place where what the core announces as gone wrong reaches the
// user: once each, through the platform's reporting sink (a message box in
// the program, standard error in a run without windows).
//
// The book's failures are written to the log here too. The settings and the
// phrase list write their own log lines (their log texts differ from what
// the user is shown), so only the message is shown for them.
void ReportProblems(ContactStore& book);
void ReportProblems(Settings& settings);
void ReportProblems(PhraseList& phrases);
