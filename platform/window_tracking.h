#pragma once

// Following the windows of other programs: what every platform provides, in
// platform/x11 and platform/wayland on Linux (chosen at run time) and in
// platform/win32.  Nothing above this layer asks which system it runs on.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include <vector>

#include <wx/datetime.h>
#include <wx/string.h>

#include "platform/processes.h"

// ---------------------------------------------------------------------------
// Windows of other programs

// A top-level window as the platform names it: an HWND on Windows, an XID on
// X11.  Zero means "no window".
using WindowHandle = std::uintptr_t;

// Who asked the window manager to activate the window that took the focus,
// where such a request was seen.
enum class ActivationRequest
{
    Unknown,      // none seen: none made, or none the platform can see
    Application,  // a program, for a window of its own
    Pager,        // a pager or taskbar, acting for the user
};

// A program's try at the focus that the desktop refused, or showed as the
// window wanting attention instead: no change of the focus, but the thief
// trying.
enum class AttemptKind
{
    Urgent,          // the compositor marked the window urgent (sway)
    Attention,       // the window demands attention (EWMH, KWin, GNOME Shell)
    RefusedRequest,  // an application's activation request led to no change
    Flash,           // a taskbar button flashed for it (Windows)
};

// What the platform knows of the user's input before a change of the
// foreground window.  Whatever it cannot tell stays unset: nothing here is
// ever guessed.
struct ChangeInput
{
    // Milliseconds without key or pointer input up to the change.
    std::optional<std::uint64_t> idleMs;
    // Where only a yes or no is known (and idleMs stays unset): whether there
    // was input in the span the caller asked about.
    std::optional<bool> inputWithin;
    ActivationRequest request = ActivationRequest::Unknown;
    // Where the platform tells keys from pointer presses: milliseconds from
    // the last key press, and from the last pointer button press, to the
    // change, where there was one since tracking began.  tellsKinds is
    // false where the platform cannot tell them apart, and both stay unset.
    bool tellsKinds = false;
    std::optional<std::uint64_t> sinceKeyMs;
    std::optional<std::uint64_t> sinceClickMs;
    // Whether that press was on the window that took the focus (its frame
    // included); unset where the platform cannot tell.
    std::optional<bool> clickOnWindow;
};

// The few window-system calls the monitor and the frame need.  Everything
// above this interface is the same on every platform and can run against a
// fake.
class WindowPlatform
{
public:
    virtual ~WindowPlatform() = default;

    // The window that receives keyboard input now, or 0.
    virtual WindowHandle ForegroundWindow() = 0;
    // True while the handle names an existing window; false for 0.
    virtual bool IsValidWindow(WindowHandle window) = 0;
    // The title as the window has it (the monitor cleans and cuts it);
    // empty when the window has none.
    virtual wxString WindowTitle(WindowHandle window) = 0;
    // The id of the process that created the window, or 0 when unknown.
    virtual unsigned long WindowProcessId(WindowHandle window) = 0;
    // The executable's file name without folder, also for other users'
    // processes (for those it may be the name the process was started as);
    // false when nothing of the process can be read.
    virtual bool ProcessModuleName(unsigned long pid, wxString& name) = 0;
    // Text for an attached debugger.
    virtual void DebugOutput(const wxString& text) = 0;
    // Asks for the window to become the foreground window.
    virtual void GiveForeground(WindowHandle window) = 0;

    // For the record file only, so asked only when a line is written: the
    // executable's full path (false where none is known for certain), and
    // the window's class.
    virtual bool ProcessExecutablePath(unsigned long pid, wxString& path) = 0;
    virtual wxString WindowClass(WindowHandle window) = 0;

    // Event-driven tracking, where the platform has it.  After StartEvents the
    // platform calls onChange, from the main loop, each time the foreground
    // window changes, and from then on answers ForegroundWindow and the
    // validity of the watched window from what its events said, without
    // asking the window system.  False where it has no such events; the
    // caller then relies on sampling alone.
    virtual bool StartEvents(std::function<void()> onChange) = 0;
    // The window whose lifetime matters from now on (the last one logged);
    // 0 for none.
    virtual void WatchWindow(WindowHandle window) = 0;
    // When the change that ForegroundWindow has just answered happened, where
    // the platform knows it better than the caller's clock.  While onChange
    // runs for a change the platform told with its time, that time, and
    // ForegroundWindow answers the window the change named, even if the
    // foreground has moved on since.  Invalid otherwise; the caller then
    // stamps the change itself.
    virtual wxDateTime ChangeTime() { return wxDateTime(); }
    // When the platform last lost sight of the windows (their compositor
    // went away), in ms since 1970; 0 for never.  Whatever held the focus
    // then is not known to hold it any longer.
    virtual std::int64_t LastLossMs() { return 0; }

    // The user's input before the change that ForegroundWindow has just
    // answered; asked once per logged change, right after that answer.
    // withinMs is the span before the change the caller asks about, for a
    // platform that can only say whether there was input in it.
    virtual ChangeInput InputBeforeChange(unsigned /*withinMs*/) { return ChangeInput(); }

    // Where no process can be named for a window (a compositor that gives no
    // pid), the name the window system gives its program; empty elsewhere.
    virtual wxString WindowAppId(WindowHandle) { return wxString(); }

    // The hot key through the compositor itself, where the window system's
    // own grab cannot see keys (a Wayland compositor's native windows).
    // modifiers and keyCode as for RegisterGlobalHotKey; pressed runs from
    // the main loop.  Bound until UnbindHotKey or the platform's end, also
    // again after the compositor forgets it.  False, with problem empty,
    // where the platform has no such way (the toolkit's hot key is all);
    // false with problem set when the compositor refused or the key is the
    // user's own there (then left alone).
    virtual bool BindHotKey(int /*modifiers*/, int /*keyCode*/, std::function<void()> /*pressed*/,
                            wxString& problem)
    {
        problem.clear();
        return false;
    }
    virtual void UnbindHotKey() {}

    // Tells, from the event loop, each attempt at the focus the desktop
    // shows: a window's urgency once until it is cleared.  Platforms that
    // show none never call it; TellsAttempts says which.
    virtual void WatchAttempts(std::function<void(WindowHandle, AttemptKind)> /*attempted*/) {}
    virtual bool TellsAttempts() const { return false; }

    // Whether the window that ForegroundWindow has just answered was created
    // or mapped in the withinMs before its change: a window popping up, not
    // an old one raised.  Unset where the platform cannot tell.
    virtual std::optional<bool> WindowIsNew(WindowHandle /*window*/, unsigned /*withinMs*/)
    {
        return std::nullopt;
    }
    // For a window that a host process draws for another one (a console
    // window), the process it is drawn for, with how it was found in `how`;
    // 0 for every other window.
    virtual unsigned long WindowClientProcess(WindowHandle /*window*/, wxString& /*how*/)
    {
        return 0;
    }

    // The processes behind windows, as platform/processes.h reads them;
    // virtual so that a desktop in memory can have processes of its own.
    virtual bool ProcessDetails(unsigned long pid, ProcessInfo& info)
    {
        return ReadProcessInfo(pid, info);
    }
    virtual bool ProcessStart(unsigned long pid, std::int64_t& startedMs, unsigned long& parentPid)
    {
        return ReadProcessStart(pid, startedMs, parentPid);
    }
    virtual std::vector<unsigned long> RecentProcesses(std::int64_t sinceMs)
    {
        return ProcessesStartedSince(sinceMs);
    }
};

// The platform of the running system.  Never null; without a display every
// query answers "no window".  On Linux the backend is chosen here, from what
// the session offers.
std::unique_ptr<WindowPlatform> CreateWindowPlatform();
// After CreateWindowPlatform: what the user must know about the windows it
// can see, for the main window (say, that native Wayland windows are out of
// reach, and what to do about it); empty when it sees them all.
wxString WindowTrackingNotice();
// The notice changes while the program runs where a backend can be lost and
// taken up again; the handler is then called from the main loop.
void OnWindowTrackingNoticeChanged(std::function<void()> handler);

// Called before the toolkit opens its display: makes sure it is one the
// program's own windows can use, and says on stderr what that means.
void PrepareDisplay();
