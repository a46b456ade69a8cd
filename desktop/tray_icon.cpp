#include "desktop/tray_icon.h"

#include <wx/app.h>
#include <wx/config.h>
#include <wx/log.h>
#include <wx/menu.h>
#include <wx/utils.h>

#include "desktop/frame_requests.h"
#include "platform/tray.h"
#include "settings/options.h"
#include "settings/stored_names.h"

wxBEGIN_EVENT_TABLE(CTrayIcon, wxTaskBarIcon)
    // One handler serves the click and the menu item, so it takes the base event.
    wx__DECLARE_EVT0(wxEVT_TASKBAR_LEFT_DOWN, wxEventHandler(CTrayIcon::OnRestore))
    EVT_MENU(ID_TRAY_EXIT, CTrayIcon::OnExit)
    wx__DECLARE_EVT1(wxEVT_MENU, ID_TRAY_RESTORE, wxEventHandler(CTrayIcon::OnRestore))
wxEND_EVENT_TABLE()

CTrayIcon::~CTrayIcon() = default;

namespace
{
// Both kinds of tray show this menu.
std::vector<TrayMenuEntry> MenuEntries()
{
    return {{ID_TRAY_RESTORE, _("Restore")}, {wxID_SEPARATOR, wxString()}, {ID_TRAY_EXIT, _("Exit")}};
}
}  // namespace

wxMenu* CTrayIcon::CreatePopupMenu()
{
    wxMenu* menu = new wxMenu;
    for (const TrayMenuEntry& entry : MenuEntries())
    {
        if (entry.label.empty())
            menu->AppendSeparator();
        else
            menu->Append(entry.id, entry.label, wxString());
    }
    return menu;
}

bool CTrayIcon::ShowAsStatusNotifier(const wxIconBundle& icons, const wxString& tooltip)
{
    StatusNotifierActions actions;
    actions.activate = [] { SendToTopWindow(EVT_SHOW_OR_HIDE_REQUEST); };
    actions.menu = [](int id) {
        SendToTopWindow(id == ID_TRAY_EXIT ? EVT_QUIT_REQUEST : EVT_SHOW_OR_HIDE_REQUEST);
    };
    m_statusNotifier =
        CreateStatusNotifierIcon(icons, wxTheApp->GetAppName(), tooltip, MenuEntries(), actions);
    return m_statusNotifier != nullptr;
}

void CTrayIcon::OnRestore(wxEvent&)
{
    SendToTopWindow(EVT_SHOW_OR_HIDE_REQUEST);
}

void CTrayIcon::OnExit(wxCommandEvent&)
{
    SendToTopWindow(EVT_QUIT_REQUEST);
}

CTrayIcon* CreateTrayIcon(const wxIconBundle& icons, const wxString& tooltip, bool checkOption)
{
    if (checkOption && !ReadBoolOption(*wxConfigBase::Get(), kOptionShowIconInSystray, true))
        return nullptr;
    CTrayIcon* trayIcon = new CTrayIcon;
    for (int attempt = 0; attempt < 20; ++attempt)
    {
        // Without a notification area the icon would only wait for one.
        const bool installed =
            IsTrayAvailable() && trayIcon->SetIcon(icons.GetIcon(wxSize(16, 16)), tooltip);
        // Trays of Wayland desktops and KDE take StatusNotifierItems only.
        if (!installed && trayIcon->ShowAsStatusNotifier(icons, tooltip))
            return trayIcon;
        wxMilliSleep(30);
        if (installed)
            return trayIcon;
    }
    wxLogError(_("ShowIconInSystray: Could not set tray icon"));
    delete trayIcon;
    return nullptr;
}
