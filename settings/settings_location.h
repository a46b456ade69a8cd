#pragma once

#include <wx/string.h>

// The directory of the running executable, ending with the path separator.
wxString ProgramDirectory();
// The folder that holds the settings file and the dock layout, ending with
// the path separator; fixed once at start, the program directory until then.
const wxString& SettingsDirectory();
void SetSettingsDirectory(const wxString& directory);

// The folder to fix as the settings directory, ending with the path
// separator.  The program's own folder in portable mode, and whenever a
// file can really be created there; otherwise configHome's
// "Corvalin" folder, made (owner only) if missing.  When that cannot be
// made either, the program's folder after all: saving then fails there
// and is reported once, naming it.
wxString ChooseSettingsDirectory(const wxString& programDirectory, bool portable,
                                 const wxString& configHome);

// Where this user's programs keep their settings: $XDG_CONFIG_HOME when set
// to an absolute path, else the system's DefaultConfigHome (~/.config, or
// the roaming application data folder on Windows).  Without a trailing
// separator.
wxString ConfigHome();
