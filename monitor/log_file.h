#pragma once

#include <wx/string.h>

// Replaces the file at path with text as UTF-8.  The text goes to a new
// file in the same folder first, reaches the disk, and only then takes the
// target's name: the target is never left half-written, and after a
// failure it is as it was.  On failure: false, and problem names the file
// and the reason; emptied on success.
bool SaveTextAtomically(const wxString& path, const wxString& text, wxString& problem);

// The system's text for an error code, to be placed inside a sentence.
wxString SystemErrorText(unsigned long code);
