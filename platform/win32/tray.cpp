// The notification area on Windows: the toolkit's taskbar icon alone.
#include "platform/tray.h"

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
