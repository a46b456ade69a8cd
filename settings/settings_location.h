#pragma once

#include <wx/string.h>

// The folder that holds the settings file and the dock layout, ending with
// the path separator.  The program's own folder in portable mode, and
// whenever a file can really be created there; otherwise configHome's
// "Corvalin" folder, made (owner only) if missing.  When that cannot be
// made either, the program's folder after all: saving then fails there
// and is reported once, naming it.
wxString ChooseSettingsDirectory(const wxString& programDirectory, bool portable,
                                 const wxString& configHome);

// Where this user's programs keep their settings: $XDG_CONFIG_HOME when set
// to an absolute path, else ~/.config, or the roaming application data
// folder on Windows.  Without a trailing separator.
wxString ConfigHome();
