// The images drawn from the embedded SVGs, at every size a screen asks for.
#include <gtest/gtest.h>
#include <wx/bitmap.h>
#include <wx/iconbndl.h>
#include <wx/image.h>

#include "platform/images.h"
#include "resources/images.h"

namespace
{
struct Coverage
{
    int visible = 0;  // pixels with any opacity
    int total = 0;
};

Coverage CoverageOf(const wxBitmap& bitmap)
{
    const wxImage image = bitmap.ConvertToImage();
    Coverage c;
    c.total = image.GetWidth() * image.GetHeight();
    for (int y = 0; y < image.GetHeight(); ++y)
        for (int x = 0; x < image.GetWidth(); ++x)
            if (!image.HasAlpha() || image.GetAlpha(x, y) > 0)
                ++c.visible;
    return c;
}

// The colour at the middle of the picture drawn at `size` px.
wxColour CentreOf(const wxBitmapBundle& bundle, int size)
{
    const wxImage image = bundle.GetBitmap(wxSize(size, size)).ConvertToImage();
    const int m = size / 2;
    return wxColour(image.GetRed(m, m), image.GetGreen(m, m), image.GetBlue(m, m));
}
}  // namespace

// An SVG the parser rejects gives an empty bundle or a blank bitmap; a
// bundle made of fixed bitmaps would be scaled, not redrawn, at 24 px.
TEST(Images, EverySvgDrawsAtSixteenAndAtEachScaledSize)
{
    const struct
    {
        const char* name;
        wxBitmapBundle bundle;
    } images[] = {
        {"clear log", ClearLogImage()}, {"about", AboutImage()}, {"hide", HideImage()},
        {"exit", ExitImage()},          {"program", ProgramImage()},
    };
    for (const auto& image : images)
    {
        SCOPED_TRACE(image.name);
        ASSERT_TRUE(image.bundle.IsOk());
        EXPECT_EQ(image.bundle.GetDefaultSize(), wxSize(16, 16));
        for (int size : {16, 24, 32, 48})
        {
            SCOPED_TRACE(size);
            const wxBitmap bitmap = image.bundle.GetBitmap(wxSize(size, size));
            ASSERT_TRUE(bitmap.IsOk());
            EXPECT_EQ(bitmap.GetSize(), wxSize(size, size));
            // Every picture has a transparent margin or corners, and none
            // is mostly empty.
            const Coverage c = CoverageOf(bitmap);
            EXPECT_GT(c.visible, c.total / 2);
            EXPECT_LT(c.visible, c.total);
        }
    }

    // Each picture is its own: a white cross or arrow on the buttons, the
    // blue stem of the i on About.
    for (int size : {16, 32})
    {
        SCOPED_TRACE(size);
        EXPECT_EQ(CentreOf(ExitImage(), size), *wxWHITE);
        EXPECT_EQ(CentreOf(HideImage(), size), *wxWHITE);
        const wxColour i = CentreOf(AboutImage(), size);
        EXPECT_GT(i.Blue(), i.Red() + 60) << i.GetAsString(wxC2S_HTML_SYNTAX);
        EXPECT_LT(i.Red(), 0x60) << i.GetAsString(wxC2S_HTML_SYNTAX);
    }

    // The frame and the tray take the program icon at 16 and 32 px.
    const wxIconBundle icons = MainIcons();
    for (int size : {16, 32})
    {
        SCOPED_TRACE(size);
        const wxIcon icon = icons.GetIcon(wxSize(size, size), wxIconBundle::FALLBACK_NONE);
        ASSERT_TRUE(icon.IsOk());
        EXPECT_EQ(icon.GetSize(), wxSize(size, size));
        const Coverage c = CoverageOf(icon);
        EXPECT_GT(c.visible, c.total / 2);
    }
    EXPECT_EQ(MainIcon().GetSize(), wxSize(16, 16));
}
