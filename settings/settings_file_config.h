#pragma once

#include <wx/fileconf.h>
#include <wx/string.h>

// A file configuration on the given path for this application, read with
// ReadDetectedWriteUtf8 and saved by replacing the file in one step, only
// when its text changed.  The file must have passed CheckSettingsFile.  The
// toolkit's complaints about single lines are not shown; the first one is
// the problem (see settings_check.h for the convention).
wxFileConfig* OpenSettingsFile(const wxString& path, wxString* problem = nullptr);
