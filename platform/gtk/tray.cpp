// The tray icon for hosts that speak only StatusNotifierItem: the icon's
// pixels and the texts from the toolkit, handed to the D-Bus item in
// platform/gdbus.  Written there rather than through
// libayatana-appindicator because AppIndicator never passes on the primary
// click, and that click shows or hides the frame.
#include "platform/tray.h"

#include <string>

#include <wx/bitmap.h>
#include <wx/image.h>
#include <wx/taskbar.h>

#include "platform/gdbus/status_notifier.h"

namespace
{
// Each size of the icon as ARGB32 in network byte order.
std::vector<StatusNotifierPixmap> IconPixmaps(const wxIconBundle& icons)
{
    std::vector<StatusNotifierPixmap> pixmaps;
    for (size_t n = 0; n < icons.GetIconCount(); ++n)
    {
        wxImage image = wxBitmap(icons.GetIconByIndex(n)).ConvertToImage();
        if (!image.IsOk())
            continue;
        if (!image.HasAlpha())
            image.InitAlpha();  // the mask becomes transparency
        const int width = image.GetWidth(), height = image.GetHeight();
        const unsigned char* rgb = image.GetData();
        const unsigned char* alpha = image.GetAlpha();
        std::string argb;
        argb.reserve(size_t(width) * height * 4);
        for (int i = 0; i < width * height; ++i)
        {
            argb += char(alpha[i]);
            argb.append(reinterpret_cast<const char*>(rgb + 3 * i), 3);
        }
        pixmaps.push_back({width, height, std::move(argb)});
    }
    return pixmaps;
}
}  // namespace

std::unique_ptr<StatusNotifierIcon> CreateStatusNotifierIcon(
    const wxIconBundle& icons, const wxString& title, const wxString& tooltip,
    const std::vector<TrayMenuEntry>& menu, StatusNotifierActions actions)
{
    return StartStatusNotifierItem(std::string(title.utf8_str()), std::string(tooltip.utf8_str()),
                                   IconPixmaps(icons), menu, std::move(actions));
}

// GTK's status icon reports success even with no notification area and
// would wait for one silently; on X11 the area exists while some client owns
// the selection _NET_SYSTEM_TRAY_S<screen>, which is what the toolkit asks.
bool IsTrayAvailable()
{
    return wxTaskBarIcon::IsAvailable();
}

