#include "frame/menu_item_bitmaps.h"

void SetMenuItemBitmaps(wxMenuItem* item, const wxBitmap& checked, const wxBitmap& unchecked)
{
    item->SetBitmaps(checked, unchecked);
}
