#include "ui/app/Reporter.h"

#include "core/contacts/ContactStore.h"
#include "core/files/ErrorLog.h"

void ReportBookFailures(ContactStore& book)
{
    const auto report = [](const QString& message) { ReportFailure(message); };
    QObject::connect(&book, &ContactStore::saveFailed, &book, report);
    QObject::connect(&book, &ContactStore::problem, &book, report);
}
