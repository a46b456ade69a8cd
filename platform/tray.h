#pragma once

// The notification area: the toolkit's icon where the desktop takes it, a
// StatusNotifierItem where the desktop's tray takes only those.
// platform/gtk on Linux, platform/win32.

#include <functional>
#include <memory>
#include <vector>

#include <wx/iconbndl.h>
#include <wx/string.h>

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
