#pragma once
#include <wx/bmpbndl.h>

// Menu and toolbar images: 16x16 with a transparent background, and the same
// picture drawn at 32x32 for screens scaled 2x.
wxBitmapBundle ClearLogImage();
wxBitmapBundle AboutImage();
wxBitmapBundle HideImage();
wxBitmapBundle ExitImage();
