// Cost of one monitor tick when nothing changed, against the real X server
// on $DISPLAY: one foreground query and one validity check.
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include <wx/init.h>

#include "monitor/foreground_change.h"
#include "monitor/window_platform.h"

int main(int argc, char** argv)
{
    wxInitializer init;
    const int ticks = argc > 1 ? std::atoi(argv[1]) : 20000;
    std::unique_ptr<WindowPlatform> platform = CreateWindowPlatform();
    WindowHandle last = 0;
    int count = 0;
    const wxString first = FormatForegroundChange(*platform, last, count);
    if (first.empty())
    {
        std::fprintf(stderr, "idle_tick: no foreground window on this display\n");
        return 1;
    }
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    int changes = 0;
    for (int i = 0; i < ticks; ++i)
        changes += !FormatForegroundChange(*platform, last, count).empty();
    const double ns = std::chrono::duration<double, std::nano>(Clock::now() - start).count();
    // Wall time: mostly waiting for the server's two replies, not CPU.
    std::printf("idle tick: %.1f us wall time per tick over %d ticks (%d unexpected changes), "
                "two X round trips each\n",
                ns / ticks / 1000.0, ticks, changes);
    return 0;
}
