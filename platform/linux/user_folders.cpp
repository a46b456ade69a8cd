// The user's folders on POSIX systems, as the XDG base directories name them.
#include "platform/user_folders.h"

#include <wx/utils.h>

#include "platform/folder_path.h"

wxString DefaultConfigHome()
{
    return WithSeparator(wxGetHomeDir()) + L".config";
}
