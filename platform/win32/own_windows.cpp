// What Windows does for our own windows.
#include "platform/own_windows.h"

#include <windows.h>

#include <wx/clipbrd.h>
#include <wx/textctrl.h>
#include <wx/toplevel.h>

// Being allowed the foreground does not restack the window by itself: it is
// put on top of the Z order first, then given the keyboard.
void BringToFront(wxTopLevelWindow* window)
{
    const HWND hwnd = window->GetHWND();
    ::SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    ::BringWindowToTop(hwnd);
    ::SetForegroundWindow(hwnd);
}

// The rich edit scrolls and repaints for every insertion, which under Wine
// costs more than ten times the rest of a line.  The text goes in without
// redrawing, and the scroll to the end is done once for a burst of lines,
// when the events are through.
void AppendToLog(wxTextCtrl* log, const wxString& text)
{
    log->Freeze();
    log->AppendText(text);
    log->Thaw();
    static wxTextCtrl* s_scrollPending = nullptr;
    if (s_scrollPending == log)
        return;
    s_scrollPending = log;
    log->CallAfter([log] {
        s_scrollPending = nullptr;
        ::SendMessageW(log->GetHWND(), WM_VSCROLL, SB_BOTTOM, 0);
    });
}

// The rich-edit control puts a data object of its own on the clipboard and
// renders it late; rendered at exit, after the control's library is gone, it
// faults.  The text is put back as plain text of ours, then handed to the
// system, which keeps it after we have gone.
//
// Only data of ours is touched: what another program put there is left as it
// is, with all its formats, and is never read while that program may be
// ending too (a log-off), which could hand back garbage.
void KeepClipboardAfterExit()
{
    DWORD owner = 0;
    if (const HWND window = ::GetClipboardOwner())
        ::GetWindowThreadProcessId(window, &owner);
    if (owner != ::GetCurrentProcessId())
        return;
    if (!wxTheClipboard->Open())
        return;
    wxTextDataObject text;
    if (wxTheClipboard->IsSupported(wxDF_UNICODETEXT) && wxTheClipboard->GetData(text))
        wxTheClipboard->SetData(new wxTextDataObject(text.GetText()));
    wxTheClipboard->Close();
    wxTheClipboard->Flush();
}

// Showing a window puts it on screen at once here.
void CallWhenOnScreen(wxTopLevelWindow* window, std::function<void()> callback)
{
    window->CallAfter(std::move(callback));
}
