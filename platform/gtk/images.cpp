// X11 has no resource section, so the icon is drawn from the SVG compiled
// into the program, the one main.ico is made from.
#include "platform/images.h"

#include <wx/icon.h>
#include <wx/menuitem.h>

#include "resources/images.h"

wxIconBundle MainIcons()
{
    wxIconBundle icons;
    const wxBitmapBundle image = ProgramImage();
    icons.AddIcon(image.GetIcon(wxSize(16, 16)));
    icons.AddIcon(image.GetIcon(wxSize(32, 32)));
    return icons;
}

wxIcon MainIcon()
{
    return ProgramImage().GetIcon(wxSize(16, 16));
}

// GTK menu items have one image.
void SetMenuItemBitmaps(wxMenuItem* item, const wxBitmapBundle& checked, const wxBitmapBundle&)
{
    item->SetBitmap(checked);
}
