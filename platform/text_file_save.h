#pragma once

#include <wx/string.h>

// The same on every system: text made into bytes, handed to file_writes.h.

// Replaces the file at path with text as UTF-8, whole or not at all: the
// target is never left half-written or missing, and after a failure it is
// as it was.  A symbolic link at path is kept, and the file it leads to is
// replaced.  On failure: false, and problem names the file and the reason;
// emptied on success.
bool SaveTextAtomically(const wxString& path, const wxString& text, wxString& problem);
