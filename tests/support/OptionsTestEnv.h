#pragma once

#include "support/TestApp.h"
#include "ui/app/frmToolbar1.h"
#include "ui/options/frmOptions.h"
#include "core/contacts/ContactStore.h"
#include "core/settings/Settings.h"
#include "support/FakePlatform.h"
#include "support/TestFolder.h"

#include <QCoreApplication>
#include <QEvent>

// A program folder with a banterly.ini holding the three given flag texts,
// the settings loaded from it and the toolbar created; every window is
// destroyed again at the end.
template <typename Fake = FakePlatform> struct OptionsTestEnv {
    Fake fake;
    TestFolder folder;

    explicit OptionsTestEnv(const char* onTop = "1", const char* hide = "1",
                            const char* stats = "1")
    {
        fake.programFolder = folder.Path();
        const QByteArray dir = folder.Path().toUtf8();
        folder.Write(QStringLiteral("banterly.ini"),
                     QByteArray("[general]\r\nAlwaysOnTop=") + onTop +
                         "\r\n[phrases]\r\nHidePhraseListWhenDbleClicked=" + hide +
                         "\r\nPhraseList=" + dir + "/phrases.txt\r\n[contacts]\r\nShowStatFields=" +
                         stats + "\r\ndataFile=" + dir + "/chatcontacts.lis\r\nWebSitesList=" + dir +
                         "/websites.lis\r\n");
        App().AppSettings().LoadSettings();
        App().Book().ContactFilePath = App().AppSettings().ContactFilePath;
        App().Toolbar();
        fake.Reset();
    }
    ~OptionsTestEnv() { EndApp(); }

    QByteArray Ini() const { return folder.Read(QStringLiteral("banterly.ini")); }

    // Opens the dialog the way the toolbar's fourth button does.
    frmOptions& OpenOptions()
    {
        App().Toolbar().cmdButton_Click(3);
        return App().Options();
    }
};

// Runs the deletions that closing a window with WA_DeleteOnClose queued.
inline void FlushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }
