#include "frame/menu_item_bitmaps.h"

// GTK menu items have one image.
void SetMenuItemBitmaps(wxMenuItem* item, const wxBitmap& checked, const wxBitmap&)
{
    item->SetBitmap(checked);
}
