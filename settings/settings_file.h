#pragma once

#include <wx/fileconf.h>

// A file configuration on the given path for this application, read with
// automatic encoding detection and written as UTF-8.
wxFileConfig* OpenSettingsFile(const wxString& path);
