#pragma once

class ContactStore;
class PhraseList;
class Settings;

// The one place where what the core announces as gone wrong reaches the
// user: once each, through the platform's reporting sink (a message box in
// the program, standard error in a run without windows).
//
// Each failure is written to the log here too, in the log's own words where
// they differ from the message.
void ReportProblems(ContactStore& book);
void ReportProblems(Settings& settings);
void ReportProblems(PhraseList& phrases);
