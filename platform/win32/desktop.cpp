// Windows side of the desktop: the toolkit wraps the hot key, DDE, the tray
// and the end of the session; this file only hands them on.
#include "platform/desktop.h"
#include "platform/single_instance.h"
#include "platform/window_tracking.h"

#include <windows.h>

#include <wx/clipbrd.h>
#include <wx/msw/registry.h>
#include <wx/stdpaths.h>
#include <wx/toplevel.h>
#include <wx/icon.h>
#include <wx/log.h>
#include <wx/menuitem.h>
#include <wx/textctrl.h>
#include <wx/window.h>

bool RegisterGlobalHotKey(wxWindow* window, int id, int modifiers, int keyCode)
{
    return window->RegisterHotKey(id, modifiers, keyCode);
}

void UnregisterGlobalHotKey(wxWindow* window, int id)
{
    window->UnregisterHotKey(id);
}

// DDE takes the service name as it is; the lock is a named mutex.
IpcEndpoint MapIpcEndpoint(const wxString& instanceName, const wxString& serviceName)
{
    IpcEndpoint endpoint;
    endpoint.lockName = instanceName;
    endpoint.service = serviceName;
    return endpoint;
}

// Windows lets a background process take the foreground only when the
// foreground process allows it; the second start, which the user just
// launched, is that process.
void AllowOtherInstanceForeground()
{
    ::AllowSetForegroundWindow(ASFW_ANY);
}

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

// Shell_NotifyIcon fails by itself when there is no taskbar.
bool IsTrayAvailable()
{
    return true;
}

// The taskbar takes the toolkit's icon; there is no StatusNotifierItem host.
std::unique_ptr<StatusNotifierIcon> CreateStatusNotifierIcon(
    const wxIconBundle&, const wxString&, const wxString&, const std::vector<TrayMenuEntry>&,
    StatusNotifierActions)
{
    return nullptr;
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

// Every window is within reach on Windows.
void PrepareDisplay()
{
}

// The toolkit's Windows port raises the query-end-session event itself when
// the user logs off or the system shuts down.
void InstallEndSessionHooks(std::function<void()>, std::function<void()>)
{
}

// The icon lives in the executable as resource "main" (resources/corvalin.rc),
// which Explorer also shows for the .exe.
wxIconBundle MainIcons()
{
    wxIconBundle icons;
    icons.AddIcon(wxIcon("main", wxBITMAP_TYPE_ICO_RESOURCE, 16, 16));
    icons.AddIcon(wxIcon("main", wxBITMAP_TYPE_ICO_RESOURCE, 32, 32));
    return icons;
}

wxIcon MainIcon()
{
    return wxIcon("main", wxBITMAP_TYPE_ICO_RESOURCE, 16, 16);
}

void SetMenuItemBitmaps(wxMenuItem* item, const wxBitmapBundle& checked,
                        const wxBitmapBundle& unchecked)
{
    item->SetBitmaps(checked, unchecked);
}

namespace
{
// Where Windows looks for what to start at this user's login.
const wchar_t kRunKey[] = L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kRunValue[] = L"Corvalin";
}  // namespace

bool StartsAtLogin()
{
    wxLogNull quiet;  // a missing key is an answer, not an error
    wxRegKey run(kRunKey);
    return run.Exists() && run.HasValue(kRunValue);
}

bool SetStartAtLogin(bool start, wxString& problem)
{
    wxLogNull quiet;
    wxRegKey run(kRunKey);
    if (!start)
    {
        if (!run.Exists() || !run.HasValue(kRunValue) || run.DeleteValue(kRunValue))
            return true;
    }
    else if (run.Create() &&
             run.SetValue(kRunValue, L"\"" + wxStandardPaths::Get().GetExecutablePath() + L"\""))
        return true;
    problem = wxString(kRunKey) + L"\\" + kRunValue + L": " + wxSysErrorMsgStr();
    return false;
}
