// The Linux ways for a session to end: the toolkit raises no
// query-end-session event on GTK, so termination signals and the loss of the
// X connection take its path here.
#include "app/end_session.h"

#include <csignal>
#include <cstdio>

#include <unistd.h>

#include <gdk/gdk.h>
#include <gdk/gdkx.h>
#include <X11/Xlib.h>
#include <wx/config.h>

#include "app/my_app.h"
#include "desktop/modal_dialog_tracker.h"
#include "frame/main_frame.h"
#include "settings/settings_file.h"

namespace
{
bool g_sessionEnding = false;
bool g_quitPending = false;

// Destroying the frame under an open modal dialog would pull the frame from
// under the code that opened it (the quit question, the About box); such a
// quit waits until the last one is closed.
ModalDialogTracker* g_dialogs = nullptr;

void EndSession()
{
    MarkSessionEnding();
    MainFrame* frame = wxGetApp().GetLiveFrame();
    if (!frame)
        return;
    if (g_dialogs && g_dialogs->AnyOpen())
    {
        // Saved at once: the session manager may not wait for the user.
        frame->SaveAll();
        g_quitPending = true;
        return;
    }
    wxCloseEvent event(wxEVT_QUERY_END_SESSION);
    wxGetApp().OnQueryEndSession(event);
}

// Called from the event loop, not in signal context.
void OnTerminationSignal(int)
{
    EndSession();
}

// Xlib calls this when the display connection is gone, from inside whatever
// X call noticed it; Xlib exits if it returns.  No X call may be made here,
// and the program state is whatever it was at that call: save from the
// frame's cached state only, and only from a frame that has read its
// options, or the defaults would overwrite them.
int OnDisplayLost(Display*)
{
    static bool inside = false;
    if (!inside)
    {
        inside = true;
        MarkSessionEnding();
        std::fputs("Corvalin: the connection to the display was lost; saving the settings.\n",
                   stderr);
        MainFrame* frame = wxGetApp().GetLiveFrame();
        if (frame && frame->IsInitialised())
            frame->SaveAll();
        else if (wxConfigBase* config = wxConfigBase::Get(false))
            FlushSettings(*config);
        const wxString failure = TakeSaveFailure();
        if (!failure.empty())
            std::fprintf(stderr, "Corvalin: the settings could not be saved: %s\n",
                         static_cast<const char*>(failure.utf8_str()));
    }
    // Nothing of the toolkit can be shut down without the display.
    _exit(1);
}
}  // namespace

void InstallEndSessionHandlers()
{
    if (!g_dialogs)
    {
        // Lives as long as the process: the toolkit keeps a pointer to it.
        g_dialogs = new ModalDialogTracker;
        g_dialogs->OnAllClosed([] {
            if (g_quitPending)
            {
                g_quitPending = false;
                EndSession();
            }
        });
    }
    for (int signal : {SIGTERM, SIGHUP, SIGINT})
        wxTheApp->SetSignalHandler(signal, &OnTerminationSignal);
    // Xlib's handler is process-wide; GDK installed its own (which exits at
    // once) when it opened the display, so this one must come after.
    GdkDisplay* display = gdk_display_get_default();
    if (display && GDK_IS_X11_DISPLAY(display))
        XSetIOErrorHandler(&OnDisplayLost);
}

void MarkSessionEnding()
{
    g_sessionEnding = true;
}

bool IsSessionEnding()
{
    return g_sessionEnding;
}
