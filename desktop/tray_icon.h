#pragma once

#include <memory>

#include <wx/iconbndl.h>
#include <wx/taskbar.h>

class StatusNotifierIcon;

// The popup menu's items.
enum
{
    ID_TRAY_RESTORE = 1,
    ID_TRAY_EXIT = 2,
};

class CTrayIcon : public wxTaskBarIcon
{
public:
    CTrayIcon() = default;
    ~CTrayIcon() override;

    wxMenu* CreatePopupMenu() override;

    void OnRestore(wxEvent& event);
    void OnExit(wxCommandEvent& event);

    // Shows the icon through a StatusNotifierItem host, for trays that take
    // no toolkit icon.  False when no host is on the session bus.
    bool ShowAsStatusNotifier(const wxIconBundle& icons, const wxString& tooltip);

private:
    std::unique_ptr<StatusNotifierIcon> m_statusNotifier;

    wxDECLARE_EVENT_TABLE();
};

// A new tray icon installed with the images (16 px in the notification area)
// and tooltip, or null when the option "/Options/ShowIconInSystray" forbids
// it (with checkOption) or neither the notification area nor a
// StatusNotifierItem host took it in 20 attempts.  The caller owns the result.
CTrayIcon* CreateTrayIcon(const wxIconBundle& icons, const wxString& tooltip, bool checkOption);
