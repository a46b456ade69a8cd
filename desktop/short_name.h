#pragma once

#include <wx/string.h>

// The name itself when its UTF-8 form has at most maxBytes bytes; otherwise a
// stable stand-in of 17 bytes ("h" and 16 hex digits of a hash of the name),
// or an empty text when even that does not fit.  Unix socket paths and file
// names have hard length limits that the executable's name may exceed.
wxString ShortName(const wxString& name, size_t maxBytes);
