#pragma once

#include <ctime>

// The processor time this process has used, in ms: on a machine shared with
// other work it tells the program's own cost from the wait for a core.
inline double CpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}
