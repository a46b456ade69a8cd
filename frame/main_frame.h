#pragma once

#include <functional>
#include <memory>
#include <vector>

#include <boost/shared_ptr.hpp>
#include <wx/aui/framemanager.h>
#include <wx/frame.h>
#include <wx/timer.h>

#include "frame/fitting_dock_manager.h"
#include "frame/start_hand_back.h"
#include "monitor/activity_logger.h"
#include "platform/window_tracking.h"

class wxTextCtrl;
class wxToolBar;
class CTrayIcon;
class DockPaintFilter;
class TheftNotifier;
class ThievesPane;
class TrackingNotice;
class wxConfigBase;
class WindowManagerHelper;

class MainFrame : public wxFrame
{
public:
    // Without a platform, the one this system and session provide.
    MainFrame(wxWindow* parent, wxWindowID id, const wxString& title,
              const wxPoint& pos, const wxSize& size, long style,
              std::unique_ptr<WindowPlatform> platform = nullptr);
    ~MainFrame() override;

    // Builds the whole frame; always true.
    bool Create(wxWindow* parent, wxWindowID id, const wxString& title,
                wxPoint pos, wxSize size, long style);
    // The second half of the set-up: icon, options, hot key, tray icon, timer.
    void InitDialog() override;

    // Asks "Quit program?" unless forced, names open dialogs, then destroys
    // the frame.
    void Quit(bool forced);
    // Hides an active, visible frame; otherwise restores, shows and raises it.
    void ShowOrHide();
    // Placement, dock layout and options, at the end of the session.
    void SaveAll();

    // One sample of the foreground window; appends its line on a change.
    // The timer's, the hot key's and a second start's way alike.
    void LogForegroundChange(Seen seen = Seen::Tick);

    wxTextCtrl* GetActivityLog() const { return m_log; }
    bool IsMonitoring() const { return m_monitorWindows; }
    bool IsInitialised() const { return m_initialised; }
    // A system log that is missing or refuses: turned off and said below
    // the log.
    void OnSystemLogProblem(const wxString& problem);
    const boost::shared_ptr<CTrayIcon>& GetTrayIcon() const { return m_trayIcon; }
    wxAuiManager& GetDockManager() { return m_mgr; }

private:
    void CreateControls();
    void LoadOptions();
    void SaveOptions();
    void SaveDockLayout();
    void LoadDockLayout();
    // The thieves pane as wide as its columns want, up to half a growing
    // frame (when grow), and never over the log's room.
    void FitThievesPane(bool grow);
    void RegisterMainHotKey(int modifiers, int keyCode);
    void ToggleStayOnTop();

    // Appends a logged line; text typed at the log's end stays apart.
    void ShowLine(const wxString& line);
    void OpenRecord(const wxString& option);
    void OnRecordingStopped(const wxString& problem);
    void StartSystemLog(bool on);
    // Every check mark as the state it shows.
    void ShowChecks();
    // Writes and saves at once: the one way settings reach the file.
    void WriteSettings(const std::function<void(wxConfigBase&)>& write);
    void ShowTrackingNotice();

    void FinishStart();

    void OnHotKey(wxKeyEvent& event);
    void OnClose(wxCloseEvent& event);
    void OnIconize(wxIconizeEvent& event);
    void OnSize(wxSizeEvent& event);
    void OnMove(wxMoveEvent& event);
    void OnKeyDown(wxKeyEvent& event);
    void OnClearLog(wxCommandEvent& event);
    void OnAbout(wxCommandEvent& event);
    void OnExitCommand(wxCommandEvent& event);
    void OnHideToTray(wxCommandEvent& event);
    void OnMonitorTimer(wxTimerEvent& event);
    void OnSaveLog(wxCommandEvent& event);
    void OnRecordToFile(wxCommandEvent& event);
    void OnStartAtLogin(wxCommandEvent& event);
    void OnFocusThieves(wxCommandEvent& event);
    void OnCheckedOption(wxCommandEvent& event);
    void OnMenuOpen(wxMenuEvent& event);
    void OnShowOrHideRequest(wxCommandEvent& event);
    void OnQuitRequest(wxCommandEvent& event);
    void OnRecordNowRequest(wxCommandEvent& event);

    struct CheckedOption
    {
        int id;
        const wchar_t* key;  // null: shown only, kept elsewhere
        bool byDefault;
        bool writtenAtOnce;  // else at exit
        std::function<bool()> state;
        std::function<void(bool)> apply;  // null: an item with its own handler
    };
    std::vector<CheckedOption> m_checked;

    FittingDockManager m_mgr;
    wxToolBar* m_toolbar = nullptr;
    wxTextCtrl* m_log = nullptr;
    wxString m_logValue;
    // Logged lines not yet in the log: they go in at the next turn of the loop.
    wxString m_pendingLines;
    boost::shared_ptr<CTrayIcon> m_trayIcon;
    boost::shared_ptr<WindowManagerHelper> m_placement;
    bool m_initialised = false;
    // Why the system log was turned off, shown below the log until it is
    // turned on or off again.
    wxString m_systemLogProblem;
    bool m_monitorWindows = true;
    boost::shared_ptr<wxTimer> m_timer;
    bool m_minimizeOnClose = false;
    int m_hotKeyCode = 0;
    int m_hotKeyModifiers = 0;
    // Set once the hot key and the tray icon are made; until then the ticks
    // are counted, so that they are made even if the frame is never mapped.
    bool m_startFinished = false;
    int m_ticksBeforeOnScreen = 0;
    static constexpr int kTicksToWaitForScreen = 40;
    // The platform outlives the monitor that samples it.
    std::unique_ptr<WindowPlatform> m_platform;
    // The monitor, the record file and the platform's events.
    ActivityLogger m_activity;
    // With MinimizeOnRun: the foreground goes back to where the user was.
    StartHandBack m_handBack;
    ThievesPane* m_thieves = nullptr;
    std::unique_ptr<TrackingNotice> m_notice;
    std::unique_ptr<TheftNotifier> m_notifier;
    std::unique_ptr<DockPaintFilter> m_dockPaint;

    wxDECLARE_CLASS(MainFrame);
    wxDECLARE_EVENT_TABLE();
};
