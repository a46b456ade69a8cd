#pragma once
#include <wx/bmpbndl.h>

// Menu and toolbar images, drawn from the SVGs in resources/: 16x16 by
// default, rendered afresh at whatever size a scaled screen asks for.
wxBitmapBundle ClearLogImage();
wxBitmapBundle AboutImage();
wxBitmapBundle HideImage();
wxBitmapBundle ExitImage();

// The program icon (resources/corvalin.svg), for the frame and the tray.
wxBitmapBundle ProgramImage();
