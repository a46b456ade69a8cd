#pragma once

// Whether the user's session starts this program at login: an XDG autostart
// entry on Linux (platform/linux), the Run key on Windows (platform/win32).

#include <wx/string.h>

// Whether the user's session starts this program at login.  Read from the
// session's own entry each time, so that an uninstall or the user's own
// removal of it counts.
bool StartsAtLogin();
// Adds the entry (for this executable) or removes it.  On failure: false,
// and problem says why.
bool SetStartAtLogin(bool start, wxString& problem);
