#include "settings/program_directory.h"

#include <wx/filename.h>
#include <wx/stdpaths.h>

wxString ProgramDirectory()
{
    return wxPathOnly(wxStandardPaths::Get().GetExecutablePath()) + wxFileName::GetPathSeparator();
}
