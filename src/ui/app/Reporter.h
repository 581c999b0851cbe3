#pragma once

class PhraseList;
class Settings;

// Shows the user what the settings and the phrase list say went wrong, once
// each, through the platform's reporting sink (a message box in the
// program). The objects have written their own log lines already.
void ReportProblems(Settings& settings);
void ReportProblems(PhraseList& phrases);
