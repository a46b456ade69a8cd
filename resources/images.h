#pragma once
#include <wx/bitmap.h>
#include <wx/iconbndl.h>

// Menu and toolbar bitmaps, 16x16 with a transparent background.
wxBitmap ClearLogImage();
wxBitmap AboutImage();
wxBitmap HideImage();
wxBitmap ExitImage();
// The program icon "main" in 16x16 and 32x32.
wxIconBundle MainIcons();
// The 16x16 (or nearest) image of "main", e.g. for the tray.
wxIcon MainIcon();
