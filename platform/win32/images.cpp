// The program's images on Windows.
#include "platform/images.h"

#include <wx/icon.h>
#include <wx/menuitem.h>

// The icon lives in the executable as resource "main" (resources/corvalin.rc),
// which Explorer also shows for the .exe.
wxIconBundle MainIcons()
{
    wxIconBundle icons;
    icons.AddIcon(wxIcon("main", wxBITMAP_TYPE_ICO_RESOURCE, 16, 16));
    icons.AddIcon(wxIcon("main", wxBITMAP_TYPE_ICO_RESOURCE, 32, 32));
    return icons;
}

wxIcon MainIcon()
{
    return wxIcon("main", wxBITMAP_TYPE_ICO_RESOURCE, 16, 16);
}

void SetMenuItemBitmaps(wxMenuItem* item, const wxBitmapBundle& checked,
                        const wxBitmapBundle& unchecked)
{
    item->SetBitmaps(checked, unchecked);
}
