#include "desktop/tray_icon.h"

#include <wx/config.h>
#include <wx/log.h>
#include <wx/menu.h>
#include <wx/utils.h>

#include "desktop/frame_requests.h"
#include "platform/desktop.h"
#include "settings/options.h"
#include "settings/stored_names.h"

wxBEGIN_EVENT_TABLE(CTrayIcon, wxTaskBarIcon)
    // One handler serves the click and the menu item, so it takes the base event.
    wx__DECLARE_EVT0(wxEVT_TASKBAR_LEFT_DOWN, wxEventHandler(CTrayIcon::OnRestore))
    EVT_MENU(ID_TRAY_EXIT, CTrayIcon::OnExit)
    wx__DECLARE_EVT1(wxEVT_MENU, ID_TRAY_RESTORE, wxEventHandler(CTrayIcon::OnRestore))
wxEND_EVENT_TABLE()

CTrayIcon::~CTrayIcon() = default;

wxMenu* CTrayIcon::CreatePopupMenu()
{
    wxMenu* menu = new wxMenu;
    menu->Append(ID_TRAY_RESTORE, _("Restore"), wxString());
    menu->AppendSeparator();
    menu->Append(ID_TRAY_EXIT, _("Exit"), wxString());
    return menu;
}

void CTrayIcon::OnRestore(wxEvent&)
{
    SendToTopWindow(EVT_SHOW_OR_HIDE_REQUEST);
}

void CTrayIcon::OnExit(wxCommandEvent&)
{
    SendToTopWindow(EVT_QUIT_REQUEST);
}

CTrayIcon* CreateTrayIcon(const wxIcon& icon, const wxString& tooltip, bool checkOption)
{
    if (checkOption && !ReadBoolOption(*wxConfigBase::Get(), kOptionShowIconInSystray, true))
        return nullptr;
    CTrayIcon* trayIcon = new CTrayIcon;
    for (int attempt = 0; attempt < 20; ++attempt)
    {
        // Without a notification area the icon would only wait for one.
        const bool installed = IsTrayAvailable() && trayIcon->SetIcon(icon, tooltip);
        wxMilliSleep(30);
        if (installed)
            return trayIcon;
    }
    wxLogError(_("ShowIconInSystray: Could not set tray icon"));
    delete trayIcon;
    return nullptr;
}
