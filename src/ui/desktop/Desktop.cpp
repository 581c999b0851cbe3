#include "ui/desktop/Desktop.h"

#include <cstdio>
#include <cstdlib>

namespace {
Desktop* g_desktop = nullptr;
}

Desktop& desktop()
{
    if (!g_desktop) {
        std::fputs("Banterly: no desktop installed\n", stderr);
        std::abort();
    }
    return *g_desktop;
}

Desktop* SetDesktop(Desktop* d)
{
    Desktop* previous = g_desktop;
    g_desktop = d;
    return previous;
}
