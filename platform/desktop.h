#pragma once

// What the desktop around the program's own windows provides: the hot key,
// the notification area, the end of the session, clipboard and images.
// platform/gtk and platform/x11 on Linux, platform/win32 on Windows.

#include <functional>
#include <memory>
#include <vector>

#include <wx/bmpbndl.h>
#include <wx/event.h>
#include <wx/iconbndl.h>
#include <wx/string.h>

class wxMenuItem;
class wxTextCtrl;
class wxTopLevelWindow;
class wxWindow;

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
// Notification area

// Whether the desktop has a notification area that can take an icon now.
// Where installing an icon reports its own failure this is simply true.
bool IsTrayAvailable();

// One line of a tray menu; an empty label makes a separator.
struct TrayMenuEntry
{
    int id;
    wxString label;
};

// An icon shown by a StatusNotifierItem host (swaybar, waybar, KDE Plasma,
// GNOME's AppIndicator extension), for desktops whose tray takes no XEmbed
// icons.  Removed from the host when destroyed.
class StatusNotifierIcon
{
public:
    virtual ~StatusNotifierIcon() = default;
};

// What the host asks of the icon.  Both run later from the event loop, never
// inside the call that asked.
struct StatusNotifierActions
{
    std::function<void()> activate;       // primary click
    std::function<void(int id)> menu;     // a TrayMenuEntry chosen
};

// The icon registered with the session's StatusNotifierWatcher, or null when
// none is on the bus (always on Windows, where the toolkit's icon suffices).
std::unique_ptr<StatusNotifierIcon> CreateStatusNotifierIcon(
    const wxIconBundle& icons, const wxString& title, const wxString& tooltip,
    const std::vector<TrayMenuEntry>& menu, StatusNotifierActions actions);

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

// Puts a shown window of ours on top of all others and gives it the
// keyboard, as when a second start asks for it.
void BringToFront(wxTopLevelWindow* window);

// Adds text at the end of a multi-line log and shows that end.
void AppendToLog(wxTextCtrl* log, const wxString& text);

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

// ---------------------------------------------------------------------------
// Start at login

// Whether the user's session starts this program at login.  Read from the
// session's own entry each time, so that an uninstall or the user's own
// removal of it counts.
bool StartsAtLogin();
// Adds the entry (for this executable) or removes it.  On failure: false,
// and problem says why.
bool SetStartAtLogin(bool start, wxString& problem);
