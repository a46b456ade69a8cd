#pragma once

// The program's icon and menu images, where each system keeps them: compiled
// in from SVG on Linux (platform/gtk), as resources on Windows
// (platform/win32).

#include <wx/bmpbndl.h>
#include <wx/iconbndl.h>

class wxMenuItem;

// The program icon "main" in 16x16 and 32x32, and its 16x16 image alone.
wxIconBundle MainIcons();
wxIcon MainIcon();
// Gives a menu item its images: separate checked and unchecked ones where the
// port draws them (Windows), else the first.
void SetMenuItemBitmaps(wxMenuItem* item, const wxBitmapBundle& checked,
                        const wxBitmapBundle& unchecked);
