#pragma once

#include <wx/string.h>

// "perspective.layout" in the settings folder.
wxString DockLayoutPath();
// The saved perspective, or empty when the file or its key is missing or the
// file is unreadable.  Says nothing either way.
wxString ReadDockLayout(const wxString& path);
// Writes the perspective; a damaged file is replaced, since it holds nothing
// but this one derived value.
void WriteDockLayout(const wxString& path, const wxString& perspective);

// True when the docking manager, reading the perspective the way it does,
// would end up with the toolbar and the log docked and shown, the Activity
// log in the centre, the thieves pane (if named) docked on a side, and no
// size beyond reason.  Anything else would leave the user with panes gone
// for good, since neither the toolbar nor the log can be closed, moved or
// brought back from the program.
bool IsUsableDockLayout(const wxString& perspective);
