// How a session ends under GTK: the toolkit raises no query-end-session
// event here, so termination signals and the loss of the X connection take
// its place.
#include "platform/end_of_session.h"

#include <csignal>

#include <unistd.h>

#include <gdk/gdk.h>
#include <gdk/gdkx.h>
#include <X11/Xlib.h>
#include <wx/app.h>

namespace
{
std::function<void()> g_onEnd;
std::function<void()> g_onDisplayLost;

// Called from the event loop, not in signal context.
void OnTerminationSignal(int)
{
    if (g_onEnd)
        g_onEnd();
}

// Xlib calls this when the display connection is gone, from inside whatever
// X call noticed it; Xlib exits if it returns.
int OnDisplayLost(Display*)
{
    static bool inside = false;
    if (!inside)
    {
        inside = true;
        if (g_onDisplayLost)
            g_onDisplayLost();
    }
    // Nothing of the toolkit can be shut down without the display.
    _exit(1);
}
}  // namespace

void InstallEndSessionHooks(std::function<void()> onEnd, std::function<void()> onDisplayLost)
{
    g_onEnd = std::move(onEnd);
    g_onDisplayLost = std::move(onDisplayLost);
    for (int signal : {SIGTERM, SIGHUP, SIGINT})
        wxTheApp->SetSignalHandler(signal, &OnTerminationSignal);
    // Xlib's handler is process-wide; GDK installed its own (which exits at
    // once) when it opened the display, so this one must come after.
    GdkDisplay* display = gdk_display_get_default();
    if (display && GDK_IS_X11_DISPLAY(display))
        XSetIOErrorHandler(&OnDisplayLost);
}

