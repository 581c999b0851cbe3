#pragma once

class ContactStore;

// Tells the user of every failure the book announces (a failed save and any
// other problem): once each, in the log and in a message box through the
// platform, which a run without windows prints on standard error.
void ReportBookFailures(ContactStore& book);
