#include "app/end_session.h"

#include <cstdio>

#include <wx/config.h>

#include "app/my_app.h"
#include "desktop/modal_dialogs.h"
#include "frame/main_frame.h"
#include "platform/end_of_session.h"
#include "platform/own_windows.h"
#include "settings/settings_save.h"

namespace
{
bool g_sessionEnding = false;
bool g_quitPending = false;

// Destroying the frame under an open modal dialog would pull the frame from
// under the code that opened it (the quit question, the About box): such a
// quit closes them as cancelled and goes on once the last one is gone.
ModalDialogTracker* g_dialogs = nullptr;

void EndSession()
{
    MarkSessionEnding();
    MainFrame* frame = wxGetApp().GetLiveFrame();
    if (!frame)
        return;
    if (g_dialogs && g_dialogs->AnyOpen())
    {
        // Saved at once: the session manager may not wait for the user,
        // nor does a terminating signal.
        frame->SaveAll();
        g_quitPending = true;
        for (wxDialog* dialog : g_dialogs->Open())
            CancelModalDialog(dialog);
        return;
    }
    wxCloseEvent event(wxEVT_QUERY_END_SESSION);
    wxGetApp().OnQueryEndSession(event);
}

// The display is gone: no window-system call may be made, and the program
// state is whatever it was when the loss was noticed.  Save from the frame's
// cached state only, and only from a frame that has read its options, or the
// defaults would overwrite them.
void SaveWithoutDisplay()
{
    MarkSessionEnding();
    std::fputs("Corvalin: the connection to the display was lost; saving the settings.\n", stderr);
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
}  // namespace

void InstallEndSession()
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
    InstallEndSessionHooks(&EndSession, &SaveWithoutDisplay);
}

void MarkSessionEnding()
{
    g_sessionEnding = true;
}

bool IsSessionEnding()
{
    return g_sessionEnding;
}
