#pragma once

#include <wx/string.h>

// The directory of the running executable, ending with the path separator.
wxString ProgramDirectory();
