// The user's folders on Windows.
#include "platform/user_folders.h"

#include <wx/stdpaths.h>

wxString DefaultConfigHome()
{
    // The roaming application data folder, which follows the user between
    // machines as settings should.
    return wxStandardPaths::Get().GetUserConfigDir();
}
