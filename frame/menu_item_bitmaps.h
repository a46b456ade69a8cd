#pragma once

#include <wx/bitmap.h>
#include <wx/menuitem.h>

// Gives a menu item its images: separate checked and unchecked ones where the
// port has them (Windows, which then draws the item itself), else the first.
void SetMenuItemBitmaps(wxMenuItem* item, const wxBitmap& checked, const wxBitmap& unchecked);
