#pragma once

// Everything an operating system has to provide for Corvalin.  Each platform
// implements this header in a folder of its own (platform/x11, platform/win32),
// and the build picks the folder; nothing above this layer asks which
// platform it runs on.

#include <cstdint>
#include <functional>
#include <memory>

#include <wx/bmpbndl.h>
#include <wx/event.h>
#include <wx/iconbndl.h>
#include <wx/string.h>

class wxMenuItem;
class wxTopLevelWindow;
class wxWindow;

// ---------------------------------------------------------------------------
// Windows of other programs

// A top-level window as the platform names it: an HWND on Windows, an XID on
// X11.  Zero means "no window".
using WindowHandle = std::uintptr_t;

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
};

// The platform of the running system.  Never null; without a display every
// query answers "no window".
std::unique_ptr<WindowPlatform> CreateWindowPlatform();

// Called before the toolkit opens its display: makes sure it is one whose
// windows this platform layer can see, and says on stderr what that means.
void PrepareDisplay();

// ---------------------------------------------------------------------------
// System-wide hot key

// keyCode is a Windows virtual-key code, modifiers the toolkit's
// wxMOD_ALT/CONTROL/SHIFT/WIN bits (others are dropped).  While registered,
// the combination sends the window an EVT_MAIN_HOTKEY event with the given
// id.  False when the platform refuses it.
bool RegisterGlobalHotKey(wxWindow* window, int id, int modifiers, int keyCode);
// Harmless when nothing is registered.
void UnregisterGlobalHotKey(wxWindow* window, int id);

// Where the toolkit has system-wide hot keys it sends its own event; elsewhere
// the platform sends one of ours, with the same key event class and id.
#if wxUSE_HOTKEY
#define EVT_MAIN_HOTKEY(id, func) EVT_HOTKEY(id, func)
#else
wxDECLARE_EVENT(EVT_GLOBAL_HOTKEY, wxKeyEvent);
#define EVT_MAIN_HOTKEY(id, func) \
    wx__DECLARE_EVT1(EVT_GLOBAL_HOTKEY, id, wxKeyEventHandler(func))
#endif

// ---------------------------------------------------------------------------
// Single-instance lock and service

// Where two starts of the program meet: the instance lock and the local
// service that the second start calls.
struct IpcEndpoint
{
    wxString lockName;
    wxString lockDirectory;  // empty: the lock's default location
    wxString service;        // empty: no service can be offered or reached
    wxString problem;        // why there is no service, in words for the user
    // A lock file can be deleted or replaced under a running instance, so
    // even a lock just taken does not prove that none runs; a named mutex
    // cannot be.
    bool lockMayBeLost = false;
};
IpcEndpoint MapIpcEndpoint(const wxString& instanceName, const wxString& serviceName);

// Lets the process that owns the foreground window now hand it to the
// running instance, which would otherwise be refused it.  Called by a
// second start just before it connects.
void AllowOtherInstanceForeground();

// ---------------------------------------------------------------------------
// Notification area

// Whether the desktop has a notification area that can take an icon now.
// Where installing an icon reports its own failure this is simply true.
bool IsTrayAvailable();

// ---------------------------------------------------------------------------
// End of the user's session

// Routes the platform's own ways of ending the session (signals, a lost
// display) to the callbacks; where the toolkit raises its query-end-session
// event itself there is nothing to do.  onEnd runs from the event loop.
// onDisplayLost runs inside whatever call noticed the loss, must make no
// window-system call, and the process ends when it returns.
void InstallEndSessionHooks(std::function<void()> onEnd, std::function<void()> onDisplayLost);

// ---------------------------------------------------------------------------
// Start-up

// Runs the callback from the event loop once the window system has put the
// shown window on screen, so that work competing with it does not hold up the
// window's first appearance.  Never runs after the window is gone, nor if the
// window never reaches the screen.
void CallWhenOnScreen(wxTopLevelWindow* window, std::function<void()> callback);

// ---------------------------------------------------------------------------
// Clipboard

// Makes what the user copied from our windows outlive the program.  Called
// while the windows still exist.
void KeepClipboardAfterExit();

// ---------------------------------------------------------------------------
// Images

// The program icon "main" in 16x16 and 32x32, and its 16x16 image alone.
wxIconBundle MainIcons();
wxIcon MainIcon();
// Gives a menu item its images: separate checked and unchecked ones where the
// port draws them (Windows), else the first.
void SetMenuItemBitmaps(wxMenuItem* item, const wxBitmapBundle& checked,
                        const wxBitmapBundle& unchecked);
