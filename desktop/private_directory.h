#pragma once

#include <wx/string.h>

// Whether path is a real directory (not a symlink) of this user that no one
// else may enter or list (no group or other permission bits).
bool IsPrivateDirectory(const wxString& path);

// A directory where only this user can create and reach the instance lock
// and the socket: runtimeDir ($XDG_RUNTIME_DIR) when it is private, else
// "corvalin-<uid>" under tempDir, created with mode 0700 if missing.  An
// empty text when neither can be trusted.
wxString ChoosePrivateDirectory(const wxString& runtimeDir, const wxString& tempDir);
