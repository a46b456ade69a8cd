#include "resources/images.h"

// The SVG texts, embedded by the build (cmake/embed_text.cmake).
extern const char about_svg[];
extern const char clear_log_svg[];
extern const char exit_svg[];
extern const char hide_svg[];
extern const char corvalin_svg[];

namespace
{
// Each image is parsed once, for the menu and the toolbar alike, and kept
// for the life of the process: freed after the toolkit has shut down, it
// would outlive the display.  The bundle keeps its renderings by size.
const wxBitmapBundle& Bundle(const char* svg)
{
    return *new wxBitmapBundle(wxBitmapBundle::FromSVG(svg, wxSize(16, 16)));
}
}  // namespace

wxBitmapBundle ClearLogImage()
{
    static const wxBitmapBundle& image = Bundle(clear_log_svg);
    return image;
}

wxBitmapBundle AboutImage()
{
    static const wxBitmapBundle& image = Bundle(about_svg);
    return image;
}

wxBitmapBundle HideImage()
{
    static const wxBitmapBundle& image = Bundle(hide_svg);
    return image;
}

wxBitmapBundle ExitImage()
{
    static const wxBitmapBundle& image = Bundle(exit_svg);
    return image;
}

wxBitmapBundle ProgramImage()
{
    static const wxBitmapBundle& image = Bundle(corvalin_svg);
    return image;
}
