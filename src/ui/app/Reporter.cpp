#include "ui/app/Reporter.h"

#include "core/contacts/ContactStore.h"
#include "core/files/ErrorLog.h"
#include "core/phrases/PhraseList.h"
#include "core/platform/Platform.h"
#include "core/settings/Settings.h"

namespace {
void Show(const QString& message) { platform().MessageBox(message); }
void LogAndShow(const QString& message) { ReportFailure(message); }
} // namespace

void ReportProblems(ContactStore& book)
{
    QObject::connect(&book, &ContactStore::saveFailed, &book, LogAndShow);
    QObject::connect(&book, &ContactStore::problem, &book, LogAndShow);
}

void ReportProblems(Settings& settings)
{
    QObject::connect(&settings, &Settings::problem, &settings, Show);
}

void ReportProblems(PhraseList& phrases)
{
    QObject::connect(&phrases, &PhraseList::problem, &phrases, Show);
    QObject::connect(&phrases, &PhraseList::saveFailed, &phrases, Show);
}
