// What GTK and the window manager do for our own windows.
#include "platform/own_windows.h"

#include <gdk/gdk.h>
#include <gtk/gtk.h>
#include <wx/clipbrd.h>
#include <wx/dialog.h>
#include <wx/textctrl.h>
#include <wx/toplevel.h>

// Only the column of the end is asked, since reading back even the last
// character copies the whole log.
void AppendLineToLog(wxTextCtrl* log, const wxString& line)
{
    long column = 0;
    const long end = log->GetLastPosition();
    if (end > 0 && log->PositionToXY(end, &column, nullptr) && column > 0)
        log->AppendText(L"\n" + line);
    else
        log->AppendText(line);
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

// A message box is a GtkDialog run by gtk_dialog_run, out of the toolkit's
// reach: answered as if its window had been closed.
void CancelModalDialog(wxDialog* dialog)
{
    if (dialog->IsModal())
    {
        dialog->EndModal(wxID_CANCEL);
        return;
    }
    GtkWidget* widget = dialog->GetHandle();
    if (widget && GTK_IS_DIALOG(widget))
        gtk_dialog_response(GTK_DIALOG(widget), GTK_RESPONSE_DELETE_EVENT);
}
