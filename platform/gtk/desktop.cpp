// X11 side of the desktop: how a session ends here, the notification area,
// and the images that Windows keeps as resources.
#include "platform/desktop.h"
#include "platform/single_instance.h"
#include "platform/window_tracking.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <unistd.h>

#include <gdk/gdk.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>
#include <X11/Xlib.h>
#include <wx/app.h>
#include <wx/clipbrd.h>
#include <wx/icon.h>
#include <wx/menuitem.h>
#include <wx/taskbar.h>
#include <wx/textctrl.h>
#include <wx/toplevel.h>

// X11 has no resource section, so the icon is drawn from the SVG compiled
// into the program, the one main.ico is made from.
#include "resources/images.h"

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

// The toolkit raises no query-end-session event on GTK: termination signals
// and the loss of the X connection take its place.
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

// Nothing to allow: X lets a client ask the window manager for activation.
void AllowOtherInstanceForeground()
{
}

void AppendToLog(wxTextCtrl* log, const wxString& text)
{
    log->AppendText(text);
}

// The window manager decides; asking it to raise is all X allows.
void BringToFront(wxTopLevelWindow* window)
{
    window->Raise();
}

namespace
{
struct OnScreenWait
{
    wxWindow* window;
    std::function<void()> callback;
    gulong handler;
};

gboolean OnFirstMap(GtkWidget* widget, GdkEvent*, gpointer data)
{
    auto* wait = static_cast<OnScreenWait*>(data);
    wxWindow* window = wait->window;
    std::function<void()> callback = std::move(wait->callback);
    // Frees the wait.
    g_signal_handler_disconnect(widget, wait->handler);
    // From the loop, after GTK has dealt with the map and can paint; the
    // window's pending calls die with it.
    window->CallAfter(std::move(callback));
    return FALSE;
}
}  // namespace

// GTK tells a toplevel's "map-event" when the X server reports it mapped,
// which under a window manager is after the manager has framed and shown it.
void CallWhenOnScreen(wxTopLevelWindow* window, std::function<void()> callback)
{
    GtkWidget* widget = window->GetHandle();
    // GTK calls a shown widget mapped at once; GDK clears "withdrawn" only
    // when the X server's MapNotify arrives.
    GdkWindow* shown = widget ? gtk_widget_get_window(widget) : nullptr;
    if (!widget || (shown && !(gdk_window_get_state(shown) & GDK_WINDOW_STATE_WITHDRAWN)))
    {
        window->CallAfter(std::move(callback));
        return;
    }
    auto* wait = new OnScreenWait{window, std::move(callback), 0};
    wait->handler = g_signal_connect_data(
        widget, "map-event", G_CALLBACK(OnFirstMap), wait,
        [](gpointer data, GClosure*) { delete static_cast<OnScreenWait*>(data); },
        GConnectFlags(0));
}

// Hands the clipboard to a clipboard manager, when one runs.
void KeepClipboardAfterExit()
{
    wxTheClipboard->Flush();
}

// GTK's status icon reports success even with no notification area and
// would wait for one silently; on X11 the area exists while some client owns
// the selection _NET_SYSTEM_TRAY_S<screen>, which is what the toolkit asks.
bool IsTrayAvailable()
{
    return wxTaskBarIcon::IsAvailable();
}

wxIconBundle MainIcons()
{
    wxIconBundle icons;
    const wxBitmapBundle image = ProgramImage();
    icons.AddIcon(image.GetIcon(wxSize(16, 16)));
    icons.AddIcon(image.GetIcon(wxSize(32, 32)));
    return icons;
}

wxIcon MainIcon()
{
    return ProgramImage().GetIcon(wxSize(16, 16));
}

// GTK menu items have one image.
void SetMenuItemBitmaps(wxMenuItem* item, const wxBitmapBundle& checked, const wxBitmapBundle&)
{
    item->SetBitmap(checked);
}
