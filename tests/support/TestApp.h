#pragma once

// The widget tests' controller: made at the first use in a test, with its
// own book, settings and phrase list, and destroyed (windows first) by
// EndApp(), so the next use starts afresh. Tests end it in their cleanup:
// a controller left at the program's end is not destroyed after the
// application object is gone.

#include "ui/app/Controller.h"

inline Controller*& TestAppSlot()
{
    static Controller* app = nullptr;
    return app;
}

inline Controller& App()
{
    Controller*& app = TestAppSlot();
    if (!app)
        app = new Controller();
    return *app;
}

inline void EndApp()
{
    delete TestAppSlot();
    TestAppSlot() = nullptr;
}
