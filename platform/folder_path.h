#pragma once

#include <wx/filename.h>
#include <wx/string.h>

// The same on every system.  A folder's path ending with the path
// separator, so that a file name can be appended; empty stays empty.
inline wxString WithSeparator(const wxString& directory)
{
    if (directory.empty() || wxFileName::IsPathSeparator(directory.Last()))
        return directory;
    return directory + wxFileName::GetPathSeparator();
}
