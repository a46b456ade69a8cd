#pragma once

#include <wx/string.h>

// "perspective.layout" in the program directory.
wxString DockLayoutPath();
// The saved perspective, or empty when the file or its key is missing.
wxString ReadDockLayout(const wxString& path);
void WriteDockLayout(const wxString& path, const wxString& perspective);
// True when applying the perspective keeps both of the frame's panes and
// leaves the Activity log visible.
bool IsUsableDockLayout(const wxString& perspective);
