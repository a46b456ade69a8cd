#pragma once

#include <wx/fileconf.h>
#include <wx/string.h>

// The main settings store, opened as OpenSettingsFile does.  When the file
// is damaged, the entries that could be read are kept, the file as it was
// is moved to path + ".damaged" (never over an earlier damaged copy), a
// clean file is written in its place, and the problem (see settings_check.h
// for the convention) is one message for the user.
wxFileConfig* OpenSettingsStore(const wxString& path, wxString* problem = nullptr);
