// Options of the main frame: read once at start, written at exit.
#include "frame/main_frame.h"

#include <wx/app.h>
#include <wx/config.h>
#include <wx/log.h>
#include <wx/menu.h>

#include "desktop/hot_key.h"
#include "desktop/tray_icon.h"
#include "frame/ids.h"
#include "resources/images.h"
#include "settings/options.h"
#include "settings/settings_file.h"
#include "settings/window_manager_helper.h"

void MainFrame::LoadOptions()
{
    wxConfigBase* config = wxConfigBase::Get();
    m_minimizeOnClose = ReadBoolOption(*config, L"/Options/MinimizeOnClose", false);

    const bool alwaysOnTop = ReadBoolOption(*config, L"/Options/AlwaysOnTop", false);
    if (wxMenuItem* item = GetMenuBar()->FindItem(ID_ALWAYS_ON_TOP))
        item->Check(alwaysOnTop);
    if (alwaysOnTop)
        ToggleStayOnTop();

    m_monitorWindows = ReadBoolOption(*config, L"/Options/MonitorWindows", true);
    if (wxMenuItem* item = GetMenuBar()->FindItem(ID_MONITOR_WINDOWS))
        item->Check(m_monitorWindows);

    const int keyCode = ReadLow16Option(*config, L"/Options/HotKey", 80);
    const int modifiers = ReadLow16Option(*config, L"/Options/HotKeyVK", 6);
    RegisterMainHotKey(modifiers, keyCode);

    m_trayIcon.reset(CreateTrayIcon(MainIcon(), wxTheApp->GetAppName(), true));
}

void MainFrame::RegisterMainHotKey(int modifiers, int keyCode)
{
    if (keyCode == 0 || modifiers == 0)
        return;
    if (!RegisterGlobalHotKey(this, ID_MAIN_HOTKEY, modifiers, keyCode))
        wxLogError(_("Error while registering Main Hot Key combination. Please, select another "
                     "combination in the Options."));
}

// Makes no X call: it also runs after the connection to the display is lost.
void MainFrame::SaveOptions()
{
    wxConfigBase* config = wxConfigBase::Get();
    WriteBoolOption(*config, L"/Options/AlwaysOnTop", (GetWindowStyleFlag() & wxSTAY_ON_TOP) != 0);
    WriteBoolOption(*config, L"/Options/MonitorWindows", m_monitorWindows);
    // A failure is kept and reported once at exit, not once per flush.
    FlushSettings(*config);
}

void MainFrame::SaveAll()
{
    if (!wxConfigBase::Get(true))
        return;
    m_placement->Save();
    SaveDockLayout();
    SaveOptions();
}
