#pragma once

// The widget tests' controller: made at the first use in a test, with its
// own book, settings and phrase list, and destroyed (windows first) by
// EndApp(), so the next use starts afresh.

#include "ui/app/Controller.h"

#include <memory>

inline std::unique_ptr<Controller>& TestAppSlot()
{
    static std::unique_ptr<Controller> app;
    return app;
}

inline Controller& App()
{
    std::unique_ptr<Controller>& app = TestAppSlot();
    if (!app)
        app = std::make_unique<Controller>();
    return *app;
}

inline void EndApp() { TestAppSlot().reset(); }
