#pragma once
#include <wx/bitmap.h>

// Menu and toolbar bitmaps, 16x16 with a transparent background.
wxBitmap ClearLogImage();
wxBitmap AboutImage();
wxBitmap HideImage();
wxBitmap ExitImage();
