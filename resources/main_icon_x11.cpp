#include "resources/images.h"

// X11 has no resource section, so the icon is compiled in from the XPMs
// that resources/make_images.py draws alongside main.ico.
#include "resources/main_16.xpm"
#include "resources/main_32.xpm"

wxIconBundle MainIcons()
{
    wxIconBundle icons;
    icons.AddIcon(wxIcon(main_16_xpm));
    icons.AddIcon(wxIcon(main_32_xpm));
    return icons;
}

wxIcon MainIcon()
{
    return wxIcon(main_16_xpm);
}
