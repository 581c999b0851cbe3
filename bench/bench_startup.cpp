// Start-up time: from starting the process to its window being mapped on the
// X server, for Banterly with the sample book, for Banterly with the largest
// book (32,699 contacts, written by bench_contacts), and for a trivial Qt
// Widgets program that shows one window, measured in turns in one run and
// reported as ratios. Then the cost of a second start: from starting
// `banterly` beside a running copy to its end (it hands over and ends),
// against `banterly --version`, in turns.
//
// The programs are not changed for this: the benchmark asks the X server for
// the MapNotify events of top-level windows (SubstructureNotify on the root
// window) and takes the first one after each start. Run it on a display
// without other clients starting windows, for example:
//   xvfb-run -a build/bench/bench_startup [rounds]     (default 40)
// Banterly runs from a copy in a temporary folder, so its files (created by
// an unmeasured first start) stay out of the build folder.
#include <xcb/xcb.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <numeric>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

struct Display {
    xcb_connection_t* connection = nullptr;

    bool Open()
    {
        connection = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(connection))
            return false;
        xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(connection, screen->root, XCB_CW_EVENT_MASK, &mask);
        xcb_flush(connection);
        return true;
    }

    void Drain()
    {
        xcb_flush(connection);
        while (xcb_generic_event_t* e = xcb_poll_for_event(connection))
            std::free(e);
    }

    // Waits for the next top-level window to be mapped; false on timeout.
    bool WaitForMap(Clock::time_point deadline)
    {
        for (;;) {
            while (xcb_generic_event_t* e = xcb_poll_for_event(connection)) {
                const bool mapped =
                    (e->response_type & 0x7f) == XCB_MAP_NOTIFY &&
                    !reinterpret_cast<xcb_map_notify_event_t*>(e)->override_redirect;
                std::free(e);
                if (mapped)
                    return true;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            if (left.count() <= 0 || xcb_connection_has_error(connection))
                return false;
            pollfd fd{xcb_get_file_descriptor(connection), POLLIN, 0};
            poll(&fd, 1, int(left.count()));
        }
    }
};

// Starts a program with at most one argument, its messages thrown away (they
// would only mix with the report). 0 when it could not be started.
pid_t Spawn(const std::string& program, const char* argument = nullptr)
{
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(argument), nullptr};
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, program.c_str(), &quiet, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&quiet);
    return spawned == 0 ? pid : 0;
}

// Starts the program, waits for its window, stops it. Milliseconds, or a
// negative number when no window came.
double TimeOneStart(Display& display, const std::string& program)
{
    display.Drain();
    const Clock::time_point start = Clock::now();
    const pid_t pid = Spawn(program);
    if (pid == 0)
        return -1;
    const bool shown = display.WaitForMap(start + std::chrono::seconds(20));
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    return shown ? ms : -1;
}

// Runs a program to its end. Milliseconds, or a negative number when it did
// not end with status 0.
double TimeOneRun(const std::string& program, const char* argument)
{
    const Clock::time_point start = Clock::now();
    const pid_t pid = Spawn(program, argument);
    if (pid == 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? ms : -1;
}

struct Figures {
    double median, mean, min, max;
};

Figures Summarise(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    const double median = n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    return {median, std::accumulate(v.begin(), v.end(), 0.0) / double(n), v.front(), v.back()};
}

void Report(const char* name, const Figures& f)
{
    std::printf("%-22s median %7.1f  mean %7.1f  min %7.1f  max %7.1f\n", name, f.median, f.mean,
                f.min, f.max);
}

bool Ratio(const char* what, const Figures& f, const Figures& base, double target)
{
    const double ratio = f.median / base.median;
    std::printf("%-30s ratio of medians %.2f (target at most %.2f): %s; of fastest %.2f\n", what,
                ratio, target, ratio <= target ? "within target" : "OVER TARGET", f.min / base.min);
    return ratio <= target;
}

} // namespace

int main(int argc, char* argv[])
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 40;
    const fs::path benchDir = fs::canonical("/proc/self/exe").parent_path();
    const fs::path banterly = benchDir.parent_path() / "banterly";
    const fs::path trivial = benchDir / "trivial_window";
    const fs::path writer = benchDir / "bench_contacts";
    if (!fs::exists(banterly) || !fs::exists(trivial) || !fs::exists(writer)) {
        std::fprintf(stderr, "needs %s, %s and %s\n", banterly.c_str(), trivial.c_str(),
                     writer.c_str());
        return 2;
    }
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    unsetenv("WAYLAND_DISPLAY");

    Display display;
    if (!display.Open()) {
        std::fprintf(stderr, "no X display (run it under xvfb-run -a)\n");
        return 2;
    }

    char folderTemplate[] = "/tmp/banterly-bench.XXXXXX";
    if (!mkdtemp(folderTemplate))
        return 2;
    const fs::path folder = folderTemplate;
    // Two copies: one with the sample book its first start writes, one with
    // the largest book the program takes.
    fs::create_directory(folder / "sample");
    fs::create_directory(folder / "largest");
    const std::string sample = (folder / "sample" / "banterly").string();
    const std::string largest = (folder / "largest" / "banterly").string();
    fs::copy_file(banterly, sample);
    fs::copy_file(banterly, largest);
    const std::string book = (folder / "largest" / "chatcontacts.lis").string();
    const std::string write = writer.string() + " --write " + book;
    if (std::system(write.c_str()) != 0) {
        std::fprintf(stderr, "could not write the largest book\n");
        fs::remove_all(folder);
        return 2;
    }
    const auto failed = [&folder](const char* what) {
        std::fprintf(stderr, "%s\n", what);
        fs::remove_all(folder);
        return 1;
    };

    // The first start of each writes files and fills caches; not counted.
    if (TimeOneStart(display, sample) < 0 || TimeOneStart(display, largest) < 0 ||
        TimeOneStart(display, trivial) < 0)
        return failed("a program did not show its window");
    std::vector<double> ours, big, base;
    for (int i = 0; i < rounds; ++i) {
        // Each takes each place in turn, so that none always runs warmer.
        const std::string order[3] = {sample, largest, trivial.string()};
        double ms[3];
        for (int k = 0; k < 3; ++k) {
            const int which = (i + k) % 3;
            ms[which] = TimeOneStart(display, order[which]);
            if (ms[which] < 0)
                return failed("a program did not show its window");
        }
        ours.push_back(ms[0]);
        big.push_back(ms[1]);
        base.push_back(ms[2]);
    }

    // A second start beside a running copy, against --version.
    std::vector<double> handOver, version;
    {
        display.Drain();
        const pid_t running = Spawn(sample);
        if (running == 0 || !display.WaitForMap(Clock::now() + std::chrono::seconds(20)))
            return failed("the running copy did not show its toolbar");
        // The running copy answers once its files are read.
        usleep(500 * 1000);
        TimeOneRun(sample, nullptr);
        for (int i = 0; i < rounds; ++i) {
            const bool handOverFirst = i % 2 == 0;
            const double a = TimeOneRun(sample, handOverFirst ? nullptr : "--version");
            const double b = TimeOneRun(sample, handOverFirst ? "--version" : nullptr);
            const double h = handOverFirst ? a : b, v = handOverFirst ? b : a;
            if (h < 0 || v < 0) {
                kill(running, SIGTERM);
                waitpid(running, nullptr, 0);
                return failed("a second start or --version failed");
            }
            handOver.push_back(h);
            version.push_back(v);
        }
        kill(running, SIGTERM);
        waitpid(running, nullptr, 0);
    }
    fs::remove_all(folder);

    const Figures f = Summarise(ours), l = Summarise(big), g = Summarise(base);
    std::printf("start to window shown, %d rounds, milliseconds\n", rounds);
    Report("banterly, sample book", f);
    Report("banterly, 32699 contacts", l);
    Report("trivial window", g);
    bool ok = Ratio("sample book / trivial", f, g, 1.15);
    ok = Ratio("32699 contacts / trivial", l, g, 1.15) && ok;
    const Figures h = Summarise(handOver), v = Summarise(version);
    std::printf("start to end, %d rounds, milliseconds\n", rounds);
    Report("second start", h);
    Report("banterly --version", v);
    ok = Ratio("second start / --version", h, v, 1.2) && ok;
    return ok ? 0 : 3;
}
