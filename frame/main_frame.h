#pragma once

#include <memory>

#include <boost/shared_ptr.hpp>
#include <wx/aui/framemanager.h>
#include <wx/frame.h>
#include <wx/timer.h>

#include "monitor/foreground_change.h"
#include "monitor/window_platform.h"

class wxTextCtrl;
class wxToolBar;
class CTrayIcon;
class WindowManagerHelper;

class MainFrame : public wxFrame
{
public:
    MainFrame(wxWindow* parent, wxWindowID id, const wxString& title,
              const wxPoint& pos, const wxSize& size, long style);
    ~MainFrame() override;

    bool Create(wxWindow* parent, wxWindowID id, const wxString& title,
                wxPoint pos, wxSize size, long style);
    void CreateControls();
    void InitDialog() override;

    // Asks "Quit program?" unless forced, names open dialogs, then destroys
    // the frame.
    void Quit(bool forced);
    // Hides an active, visible frame; otherwise restores, shows and raises it.
    void ShowOrHide();

    // Options, placement and layout (main_frame_options.cpp, main_frame_layout.cpp).
    void LoadOptions();
    void SaveOptions();
    void SaveAll();
    void SaveDockLayout();
    void LoadDockLayout();

    // One sample of the foreground window (main_frame_monitor.cpp).
    void LogForegroundChange();
    wxString FormatForegroundChange();
    void GetWindowIdentity(WindowHandle window, wxString& module, wxString& title);

    wxTextCtrl* GetActivityLog() const { return m_log; }
    bool IsMonitoring() const { return m_monitorWindows; }
    bool IsInitialised() const { return m_initialised; }
    const boost::shared_ptr<CTrayIcon>& GetTrayIcon() const { return m_trayIcon; }
    wxAuiManager& GetDockManager() { return m_mgr; }

    wxMenuItem* AppendBitmapItem(wxMenu* menu, int id, const wxString& text,
                                 const wxString& help, const wxBitmap& checked,
                                 const wxBitmap& unchecked, wxItemKind kind,
                                 wxMenu* subMenu);

private:
    void OnHotKey(wxKeyEvent& event);
    void OnClose(wxCloseEvent& event);
    void OnIconize(wxIconizeEvent& event);
    void OnSize(wxSizeEvent& event);
    void OnMove(wxMoveEvent& event);
    void OnKeyDown(wxKeyEvent& event);
    void OnMonitorWindows(wxCommandEvent& event);
    void OnClearLog(wxCommandEvent& event);
    void OnAbout(wxCommandEvent& event);
    void OnAlwaysOnTop(wxCommandEvent& event);
    void OnExitCommand(wxCommandEvent& event);
    void OnHideToTray(wxCommandEvent& event);
    void OnMonitorTimer(wxTimerEvent& event);

    void ToggleStayOnTop();
    void RegisterMainHotKey(int modifiers, int keyCode);

    wxAuiManager m_mgr;
    wxToolBar* m_toolbar = nullptr;
    wxTextCtrl* m_log = nullptr;
    wxString m_logValue;
    boost::shared_ptr<CTrayIcon> m_trayIcon;
    boost::shared_ptr<WindowManagerHelper> m_placement;
    bool m_initialised = false;
    bool m_monitorWindows = true;
    boost::shared_ptr<wxTimer> m_timer;
    int m_lineCount = 0;
    WindowHandle m_lastWindow = 0;
    bool m_minimizeOnClose = false;
    std::unique_ptr<WindowPlatform> m_platform;

    wxDECLARE_CLASS(MainFrame);
    wxDECLARE_EVENT_TABLE();
};
