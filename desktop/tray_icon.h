#pragma once

#include <wx/icon.h>
#include <wx/taskbar.h>

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

private:
    wxDECLARE_EVENT_TABLE();
};

// A new tray icon installed with the image and tooltip, or null when the
// option "/Options/ShowIconInSystray" forbids it (with checkOption) or the
// notification area refused it 20 times.  The caller owns the result.
CTrayIcon* CreateTrayIcon(const wxIcon& icon, const wxString& tooltip, bool checkOption);
