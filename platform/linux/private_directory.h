#pragma once

// Where the single-instance lock and socket may live on a shared Unix
// machine, and names that fit the limits of socket paths.

#include <wx/string.h>

// Whether path is a real directory (not a symlink) of this user that no one
// else may enter or list (no group or other permission bits).
bool IsPrivateDirectory(const wxString& path);

// A directory where only this user can create and reach the instance lock
// and the socket: runtimeDir ($XDG_RUNTIME_DIR) when it is private, else
// "Corvalin" under cacheHome ($XDG_CACHE_HOME, ~/.cache), created with mode
// 0700 if missing.  An empty text when neither can be trusted.
wxString ChoosePrivateDirectory(const wxString& runtimeDir, const wxString& cacheHome);
// $XDG_CACHE_HOME when it is absolute, else ~/.cache; empty without a home.
wxString CacheHome();

// The name itself when its UTF-8 form has at most maxBytes bytes; otherwise a
// stable stand-in of 17 bytes ("h" and 16 hex digits of a hash of the name),
// or an empty text when even that does not fit.  Unix socket paths and file
// names have hard length limits that the executable's name may exceed.
wxString ShortName(const wxString& name, size_t maxBytes);
