// What Windows does for our own windows.
#include "platform/own_windows.h"

#include <windows.h>
#include <richedit.h>

#include <wx/clipbrd.h>
#include <wx/dialog.h>
#include <wx/textctrl.h>
#include <wx/textfile.h>
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

namespace
{
// As much text as a rich edit takes at all.
constexpr LPARAM kNoTextLimit = 0x7FFFFFFF;

// Idle events go only to windows that ask for them (MyApp::OnInit); the log
// asks while the scroll to its end is pending.
void ScrollToEndWhenIdle(wxIdleEvent& event)
{
    event.Skip();
    auto* log = static_cast<wxTextCtrl*>(event.GetEventObject());
    log->Unbind(wxEVT_IDLE, &ScrollToEndWhenIdle);
    log->SetExtraStyle(log->GetExtraStyle() & ~wxWS_EX_PROCESS_IDLE);
    ::SendMessageW(log->GetHWND(), WM_VSCROLL, SB_BOTTOM, 0);
}
}  // namespace

// The rich edit scrolls and repaints for every insertion, which under Wine
// costs more than ten times the rest of a line: the text goes in with its
// redraw off, the whole control is repainted later, and the scroll to the
// end is done once for a burst of lines, when the events are through.
//
// The text goes to the control itself.  The toolkit's AppendText first asks
// for the length and the selection, and the control's EN_CHANGE becomes a
// text event that nothing here wants; under Wine that was about a tenth of
// the insertion.  What the toolkit did that matters is kept: line ends as
// CR LF, an insertion that can be undone like typing, and no text cut off
// at the control's first limit of 32,767 characters (the toolkit raised the
// limit when it was hit and inserted again).
//
// Whether text the user left at the end lacks its line end is asked of the
// caret, put at the end: where its row starts.  The toolkit's PositionToXY
// asks for the row of a position, which the rich edit finds by walking every
// paragraph before it (under Wine some 0.9 ms a line at 10,000 lines); the
// caret's row is found where the caret is.
void AppendLineToLog(wxTextCtrl* log, const wxString& line)
{
    const HWND hwnd = log->GetHWND();
    if (static_cast<LPARAM>(::SendMessageW(hwnd, EM_GETLIMITTEXT, 0, 0)) < kNoTextLimit)
        ::SendMessageW(hwnd, EM_EXLIMITTEXT, 0, kNoTextLimit);
    const LPARAM events = ::SendMessageW(hwnd, EM_GETEVENTMASK, 0, 0);
    ::SendMessageW(hwnd, EM_SETEVENTMASK, 0, events & ~ENM_CHANGE);
    // As the toolkit's Freeze: a hidden or frozen control is left as it is.
    const bool redraw = log->IsShown() && !log->IsFrozen();
    if (redraw)
        ::SendMessageW(hwnd, WM_SETREDRAW, FALSE, 0);
    CHARRANGE end{-1, -1};  // both past the end: the end
    ::SendMessageW(hwnd, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&end));
    CHARRANGE at{};
    ::SendMessageW(hwnd, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&at));
    const LRESULT rowStart = ::SendMessageW(hwnd, EM_LINEINDEX, static_cast<WPARAM>(-1), 0);
    const bool midLine = rowStart >= 0 && rowStart < at.cpMin;
    const wxString lines = wxTextFile::Translate(midLine ? L"\n" + line : line, wxTextFileType_Dos);
    ::SendMessageW(hwnd, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(lines.wc_str()));
    if (redraw)
    {
        ::SendMessageW(hwnd, WM_SETREDRAW, TRUE, 0);
        ::InvalidateRect(hwnd, nullptr, TRUE);
    }
    ::SendMessageW(hwnd, EM_SETEVENTMASK, 0, events);

    // On idle rather than in a call after, which posts a message to wake
    // the loop: the loop goes idle by itself once the events are through.
    if (log->HasExtraStyle(wxWS_EX_PROCESS_IDLE))
        return;
    log->SetExtraStyle(log->GetExtraStyle() | wxWS_EX_PROCESS_IDLE);
    log->Bind(wxEVT_IDLE, &ScrollToEndWhenIdle);
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

// Windows ends a session through the toolkit's own query, which does not
// wait for a dialog; the toolkit's dialogs end as usual.
void CancelModalDialog(wxDialog* dialog)
{
    if (dialog->IsModal())
        dialog->EndModal(wxID_CANCEL);
}
