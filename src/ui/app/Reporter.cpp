#include "ui/app/Reporter.h"

#include "core/contacts/ContactStore.h"
#include "core/files/ErrorLog.h"
#include "core/phrases/PhraseList.h"
#include "core/settings/Settings.h"

namespace {
void Report(const QString& message) { ReportFailure(message); }
void ReportListProblem(const Problem& problem) { ReportFailure(problem); }
} // namespace

void ReportProblems(ContactStore& book)
{
    QObject::connect(&book, &ContactStore::saveFailed, &book, Report);
    QObject::connect(&book, &ContactStore::problem, &book, Report);
}

void ReportProblems(Settings& settings)
{
    QObject::connect(&settings, &Settings::problem, &settings, Report);
}

void ReportProblems(PhraseList& phrases)
{
    QObject::connect(&phrases, &PhraseList::problem, &phrases, ReportListProblem);
    QObject::connect(&phrases, &PhraseList::saveFailed, &phrases, ReportListProblem);
}
