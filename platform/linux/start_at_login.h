#pragma once

// The XDG autostart entry behind Start at Login on Linux.

#include <string>

#include <wx/string.h>

// The desktop entry, as the bytes of its file, that starts the executable
// at path (its bytes as the file system has them).  False, and problem says
// why in words for the user, for a path no entry can hold: one that is not
// UTF-8 or holds a control character.
bool AutostartEntry(const std::string& path, std::string& entry, wxString& problem);
