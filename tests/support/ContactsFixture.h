#pragma once

// Shared set-up for the contact window tests: a fake desktop, a fresh program
// folder, the settings the card reads and a contact table seeded in memory.
// The book is the one the test's controller gives its windows, fresh for each
// test, and tells the user of its failures as the program's does.

#include "core/contacts/ContactStore.h"
#include "core/settings/Settings.h"
#include "support/FakePlatform.h"
#include "support/TestApp.h"
#include "support/TestFolder.h"

#include <QPair>
#include <QString>
#include <memory>

struct ContactsFixture {
    std::unique_ptr<FakePlatform> fake;
    std::unique_ptr<TestFolder> folder;
    ContactStore* book = nullptr;

    void Start(bool showStatFields = true)
    {
        fake = std::make_unique<FakePlatform>();
        folder = std::make_unique<TestFolder>();
        fake->programFolder = folder->Path();
        EndApp();
        Settings& settings = App().AppSettings();
        settings.IniFile = folder->File(QStringLiteral("banterly.ini"));
        settings.ContactFilePath = folder->File(QStringLiteral("chatcontacts.lis"));
        settings.AlwaysOnTop = 1;
        settings.ShowStatFields = showStatFields ? 1 : 0;
        book = &App().Book();
        book->ContactFilePath = settings.ContactFilePath;
    }
    void Stop()
    {
        EndApp();
        book = nullptr;
        fake.reset();
        folder.reset();
    }
    // Contacts 1..n with a chat name and a real name each.
    void Seed(const QList<QPair<QString, QString>>& people)
    {
        book->Contacts.assign(people.size() + 2, ContactRecord());
        for (int i = 0; i < people.size(); ++i) {
            book->Contacts[i + 1].SetField(ContactField::ChatName, people[i].first);
            book->Contacts[i + 1].SetField(ContactField::RealName, people[i].second);
        }
        book->ContactCount = static_cast<int16_t>(people.size());
        book->CurrentContact = 0;
    }
    QString SavedFile() const
    {
        return QString::fromUtf8(folder->Read(QStringLiteral("chatcontacts.lis")));
    }
    bool Saved() const { return folder->Exists(QStringLiteral("chatcontacts.lis")); }
};
