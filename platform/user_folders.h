#pragma once

#include <wx/string.h>

// Where this user's programs keep their settings unless $XDG_CONFIG_HOME
// says otherwise: ~/.config, or the roaming application data folder on
// Windows.  Without a trailing separator.  Each system provides it in its
// platform folder.
wxString DefaultConfigHome();
