#include "frame/main_frame.h"

#include <cstdio>

#include <wx/app.h>
#include <wx/aui/aui.h>
#include <wx/config.h>
#include <wx/dialog.h>
#include <wx/filedlg.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/textctrl.h>
#include <wx/toolbar.h>
#include <wx/utils.h>
#include <wx/valtext.h>

#include <wx/log.h>

#include "desktop/frame_requests.h"
#include "desktop/modal_dialogs.h"
#include "desktop/tray_icon.h"
#include "frame/dock_paint_filter.h"
#include "frame/ids.h"
#include "frame/main_menus.h"
#include "frame/start_hand_back.h"
#include "frame/theft_notifier.h"
#include "frame/thieves_pane.h"
#include "frame/tracking_notice.h"
#include "platform/hot_key.h"
#include "platform/images.h"
#include "platform/own_windows.h"
#include "platform/start_at_login.h"
#include "platform/system_log.h"
#include "platform/text_file_save.h"
#include "resources/images.h"
#include "settings/dock_layout.h"
#include "settings/options.h"
#include "settings/settings_location.h"
#include "settings/settings_save.h"
#include "settings/stored_names.h"
#include "settings/window_placement.h"

wxIMPLEMENT_CLASS(MainFrame, wxFrame);

wxBEGIN_EVENT_TABLE(MainFrame, wxFrame)
    EVT_MAIN_HOTKEY(ID_MAIN_HOTKEY, MainFrame::OnHotKey)
    EVT_CLOSE(MainFrame::OnClose)
    EVT_ICONIZE(MainFrame::OnIconize)
    EVT_SIZE(MainFrame::OnSize)
    EVT_MOVE(MainFrame::OnMove)
    EVT_KEY_DOWN(MainFrame::OnKeyDown)
    EVT_MENU(ID_MONITOR_WINDOWS, MainFrame::OnCheckedOption)
    EVT_MENU(ID_CLEAR_LOG, MainFrame::OnClearLog)
    EVT_MENU(wxID_ABOUT, MainFrame::OnAbout)
    EVT_MENU(ID_ALWAYS_ON_TOP, MainFrame::OnCheckedOption)
    EVT_MENU(wxID_EXIT, MainFrame::OnExitCommand)
    EVT_MENU(ID_HIDE_TO_TRAY, MainFrame::OnHideToTray)
    EVT_MENU(ID_SAVE_LOG, MainFrame::OnSaveLog)
    EVT_MENU(ID_RECORD_TO_FILE, MainFrame::OnRecordToFile)
    EVT_MENU(ID_SYSTEM_LOG, MainFrame::OnCheckedOption)
    EVT_MENU(ID_START_AT_LOGIN, MainFrame::OnStartAtLogin)
    EVT_MENU(ID_FOCUS_THIEVES, MainFrame::OnFocusThieves)
    EVT_MENU(ID_NOTIFY_UNPROMPTED, MainFrame::OnCheckedOption)
    EVT_MENU_OPEN(MainFrame::OnMenuOpen)
    EVT_TIMER(ID_MONITOR_TIMER, MainFrame::OnMonitorTimer)
    wx__DECLARE_EVT0(EVT_SHOW_OR_HIDE_REQUEST, wxCommandEventHandler(MainFrame::OnShowOrHideRequest))
    wx__DECLARE_EVT0(EVT_QUIT_REQUEST, wxCommandEventHandler(MainFrame::OnQuitRequest))
    wx__DECLARE_EVT0(EVT_RECORD_NOW_REQUEST, wxCommandEventHandler(MainFrame::OnRecordNowRequest))
wxEND_EVENT_TABLE()

namespace
{
// The log stays readable beside the thieves pane, whatever its saved width.
constexpr int kLogMinWidth = 160;

// Once, after the frame is up, on stderr and to the user; logging goes on.
void ReportLater(const wxString& problem)
{
    wxTheApp->CallAfter([problem] {
        std::fprintf(stderr, "Corvalin: %s\n", static_cast<const char*>(problem.utf8_str()));
        wxLogError(L"%s", problem);
    });
}
}  // namespace

MainFrame::MainFrame(wxWindow* parent, wxWindowID id, const wxString& title,
                     const wxPoint& pos, const wxSize& size, long style,
                     std::unique_ptr<WindowPlatform> platform)
    : m_platform(platform ? std::move(platform) : CreateWindowPlatform()),
      m_activity(*m_platform, [this](const wxString& line) { ShowLine(line); },
                 [this](const wxString& problem) { OnRecordingStopped(problem); }),
      m_handBack(*m_platform, wxGetProcessId(), kTicksToWaitForScreen)
{
    m_activity.ReportLineCost(wxGetEnv(L"CORVALIN_LINE_COST", nullptr));
    Create(parent, id, title, pos, size, style);
}

bool MainFrame::Create(wxWindow* parent, wxWindowID id, const wxString& title,
                       wxPoint pos, wxSize size, long style)
{
    m_placement.reset(new WindowManagerHelper(this, kMainFramePlacementName));
    m_placement->Load(pos, size);

    bool minimizeOnRun = false;
    if (wxConfigBase* config = wxConfigBase::Get())
        minimizeOnRun = ReadBoolOption(*config, kOptionMinimizeOnRun, false);
    if (minimizeOnRun)
        m_handBack.Remember();

    if (m_placement->IsMaximized())
        style |= wxMAXIMIZE;
    SetExtraStyle(wxWS_EX_VALIDATE_RECURSIVELY);
    wxFrame::Create(parent, id, title, pos, size, style);

    CreateControls();
    InitDialog();
    m_initialised = true;
    LoadDockLayout();
    // Shown while it holds, whatever the saved layout says.
    ShowTrackingNotice();
    if (m_placement->IsMaximized())
        Maximize(true);
    Show(!minimizeOnRun);
    m_handBack.GiveBack();
    if (minimizeOnRun)
        CallAfter(&MainFrame::FinishStart);
    else
        CallWhenOnScreen(this, [this] { FinishStart(); });
    return true;
}

void MainFrame::CreateControls()
{
    m_mgr.SetManagedWindow(this);
    m_dockPaint = std::make_unique<DockPaintFilter>(m_mgr);

    SetMenuBar(CreateMainMenuBar());
    m_toolbar = AddMainToolbar(this, m_mgr);

    m_log = new wxTextCtrl(this, ID_LOG, wxString(), wxDefaultPosition, wxDefaultSize,
                           wxTE_MULTILINE | wxTE_RICH | wxTE_AUTO_URL | wxTE_NOHIDESEL);
    m_mgr.AddPane(m_log, wxAuiPaneInfo()
                             .Name(kLogPaneName)
                             .Centre()
                             .Layer(0)
                             .Row(0)
                             .Position(0)
                             .Floatable(false)
                             .CloseButton(false)
                             .CaptionVisible(true)
                             .Caption(wxString()));
    // Kept on purpose: the log's value is bound to m_logValue, though nothing
    // transfers data through it yet.
    m_log->SetValidator(wxTextValidator(wxFILTER_NONE, &m_logValue));
    m_thieves = ThievesPane::AddTo(m_mgr, m_activity, m_log);
    m_mgr.Update();
    // A dragged sash that leaves the log too narrow is moved back.
    m_log->Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
        if (event.GetSize().x < kLogMinWidth && m_initialised)
            CallAfter([this] { FitThievesPane(false); });
        event.Skip();
    });
    m_notifier.reset(new TheftNotifier(this));
    // The checkable items: what each shows, and for the options, how it is
    // stored and applied.  Loading, the menu's handlers, its open state and
    // saving all go by this one table.
    m_checked = {
        {ID_MONITOR_WINDOWS, kOptionMonitorWindows, true, false, [this] { return m_monitorWindows; },
         [this](bool on) {
             m_monitorWindows = on;
             m_activity.BreakHolds();
         }},
        {ID_ALWAYS_ON_TOP, kOptionAlwaysOnTop, false, false,
         [this] { return (GetWindowStyleFlag() & wxSTAY_ON_TOP) != 0; },
         [this](bool on) {
             if (on != ((GetWindowStyleFlag() & wxSTAY_ON_TOP) != 0))
                 ToggleStayOnTop();
         }},
        {ID_NOTIFY_UNPROMPTED, kOptionNotifyUnprompted, false, true, [this] { return m_notifier->IsEnabled(); },
         [this](bool on) { m_notifier->Enable(on); }},
        {ID_SYSTEM_LOG, kOptionSystemLog, false, true, [this] { return m_activity.IsSystemLogOn(); },
         [this](bool on) { StartSystemLog(on); }},
        // Shown only: a path, a file of the session's, the layout keep them.
        {ID_RECORD_TO_FILE, nullptr, false, false, [this] { return m_activity.IsRecording(); }, nullptr},
        {ID_START_AT_LOGIN, nullptr, false, false, [] { return StartsAtLogin(); }, nullptr},
        {ID_FOCUS_THIEVES, nullptr, false, false, [this] { return m_mgr.GetPane(m_thieves).IsShown(); }, nullptr},
    };
    m_activity.OnTheftEnded(
        [this](const Hold& hold, const wxString& launcher) { m_notifier->Told(hold, launcher); });
    m_activity.OnAttempt(
        [this](const std::string& program, std::int64_t whenMs) { m_notifier->Attempted(program, whenMs); });
    // Kept on purpose: key-down events are connected at run time as well as
    // in the table; OnKeyDown only passes them on.
    m_log->Connect(wxID_ANY, wxEVT_KEY_DOWN, wxKeyEventHandler(MainFrame::OnKeyDown), nullptr,
                   this);
    ShowChecks();
    // The log has the keyboard when the frame is activated, whatever panes
    // and controls come after it.
    m_log->SetFocus();
    m_notice = std::make_unique<TrackingNotice>(this, m_mgr);
    ShowTrackingNotice();
    OnWindowTrackingNoticeChanged([this] { ShowTrackingNotice(); });
}

// A log that looks complete while some windows cannot be seen would
// mislead: the reason stays in sight below it, for as long as it holds.
void MainFrame::ShowTrackingNotice()
{
    wxString text = WindowTrackingNotice();
    if (!m_systemLogProblem.empty())
        text += (text.empty() ? L"" : L"\n") + m_systemLogProblem;
    m_notice->Set(text);
}

// The toolkit's initialisation hook, kept on purpose for the second half of
// the set-up; it does not call the base, so no init-dialog event is sent.
void MainFrame::InitDialog()
{
    SetIcons(MainIcons());
    LoadOptions();
    m_timer.reset(new wxTimer(this, ID_MONITOR_TIMER));
    m_timer->Start(50, wxTIMER_CONTINUOUS);
    // The timer stays where the platform reports changes too, and then costs
    // nothing while nothing changes.
    m_activity.StartEvents([this] { return m_monitorWindows; });
}

MainFrame::~MainFrame()
{
    OnWindowTrackingNoticeChanged(nullptr);
    // Text copied from the log stays on the clipboard after we are gone.
    KeepClipboardAfterExit();
    if (wxConfigBase::Get(true))
    {
        m_placement->Save();
        SaveDockLayout();
        SaveOptions();
    }
    UnregisterGlobalHotKey(this, ID_MAIN_HOTKEY);
    m_platform->UnbindHotKey();
    m_dockPaint.reset();
    m_mgr.UnInit();
}

void MainFrame::Quit(bool forced)
{
    // Only Yes quits: Escape and the box's close button answer Cancel, and
    // quitting on them would throw the log away.
    if (!forced &&
        wxMessageBox(L"Quit program?", wxTheApp->GetAppName(), wxYES_NO | wxICON_QUESTION,
                     this) != wxYES)
        return;
    for (wxWindowList::compatibility_iterator node = wxTopLevelWindows.GetFirst(); node;
         node = node->GetNext())
    {
        wxWindow* window = node->GetData();
        if (window->IsKindOf(wxCLASSINFO(wxDialog)))
            wxMessageBox(window->GetLabel(), L"Message", wxOK | wxCENTRE, nullptr);
    }
    Destroy();
}

void MainFrame::ShowOrHide()
{
    if (IsActive() && IsShownOnScreen())
    {
        Show(false);
        return;
    }
    wxDialog* modal = LastModalDialog();
    // A minimised frame that was then hidden no longer reports itself as
    // iconized on GTK, yet the window manager still keeps it minimised.
    if (IsIconized() || !IsShown())
        Iconize(false);
    Show(true);
    BringToFront(this);
    if (modal)
        modal->SetFocus();
}

void MainFrame::OnHotKey(wxKeyEvent&)
{
    LogForegroundChange(Seen::HotKey);
}

void MainFrame::OnClose(wxCloseEvent& event)
{
    if (!event.CanVeto())
        Quit(true);
    else if (!m_minimizeOnClose)
        Quit(false);
    else
        Show(false);
}

void MainFrame::OnIconize(wxIconizeEvent& event)
{
    if (event.IsIconized() && m_initialised)
        Show(false);
    event.Skip();
}

// Kept on purpose as the log's key-down hook: it only lets the key through.
void MainFrame::OnKeyDown(wxKeyEvent& event)
{
    event.Skip();
}

void MainFrame::OnAbout(wxCommandEvent&)
{
    wxMessageBox(L"Pellowen Software, 2026\n"
                 L"\n"
                 L"https://pellowen.example/corvalin\n"
                 L"https://pellowen.example/support",
                 L"Message", wxOK | wxCENTRE, nullptr);
}

void MainFrame::ToggleStayOnTop()
{
    SetWindowStyleFlag(GetWindowStyleFlag() ^ wxSTAY_ON_TOP);
}

void MainFrame::OnExitCommand(wxCommandEvent&)
{
    Quit(false);
}

void MainFrame::OnHideToTray(wxCommandEvent&)
{
    Show(false);
}

void MainFrame::OnShowOrHideRequest(wxCommandEvent&)
{
    ShowOrHide();
}

void MainFrame::OnQuitRequest(wxCommandEvent&)
{
    Quit(false);
}

// A second start with --record-now: the hot key's sample, and the frame
// stays as it is, so that it does not become the window it logs.
void MainFrame::OnRecordNowRequest(wxCommandEvent&)
{
    LogForegroundChange(Seen::HotKey);
}

// The monitor: timer, commands and the Activity log.
void MainFrame::OnMonitorTimer(wxTimerEvent&)
{
    // A frame hidden again before it ever reached the screen still gets its
    // tray icon and hot key.
    if (!m_startFinished && ++m_ticksBeforeOnScreen >= kTicksToWaitForScreen)
        FinishStart();
    m_handBack.Tick(IsShown());
    if (m_monitorWindows)
        LogForegroundChange(Seen::Tick);
}

void MainFrame::OnClearLog(wxCommandEvent&)
{
    m_pendingLines.clear();
    m_log->SetValue(wxString());
    m_activity.ClearLog();
}

void MainFrame::LogForegroundChange(Seen seen)
{
    m_activity.LogForegroundChange(seen);
}

// Lines that come in a burst go into the log together, once per turn of
// the main loop: one insert and one redraw for them all, so that what the
// frame asks of the display stays bounded however fast the focus changes.
void MainFrame::ShowLine(const wxString& line)
{
    const bool queued = !m_pendingLines.empty();
    m_pendingLines += line;
    if (!queued)
        CallAfter([this] {
            if (m_pendingLines.empty())
                return;
            AppendLineToLog(m_log, m_pendingLines);
            m_pendingLines.clear();
        });
}

void MainFrame::OpenRecord(const wxString& option)
{
    const wxString path = ResolveRecordPath(option, SettingsDirectory());
    wxString problem;
    if (path.empty() || m_activity.OpenRecord(path, problem))
        return;
    // Once, after the frame is up; monitoring goes on without the record.
    CallAfter([problem] { wxLogError(_("Recording is off: %s"), problem); });
}

void MainFrame::OnRecordingStopped(const wxString& problem)
{
    ShowChecks();
    if (!problem.empty())
        CallAfter([problem] { wxLogError(_("Recording has stopped: %s"), problem); });
}

void MainFrame::OnSaveLog(wxCommandEvent&)
{
    wxFileDialog dialog(this, _("Save Log As"), wxString(), L"activity.log",
                        _("Log files (*.log;*.txt)|*.log;*.txt|All files|*"),
                        wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
    if (dialog.ShowModal() != wxID_OK)
        return;
    wxString problem;
    if (!SaveTextAtomically(dialog.GetPath(), m_log->GetValue(), problem))
        wxMessageBox(problem, L"Message", wxOK | wxICON_ERROR | wxCENTRE, this);
}

// Starts recording into a file of the user's choice, or stops it; either
// way the option is written at once, as if the settings file were edited,
// so that the next start records the same.
void MainFrame::OnRecordToFile(wxCommandEvent&)
{
    if (m_activity.IsRecording())
    {
        m_activity.CloseRecord();
        WriteSettings([](wxConfigBase& config) { config.Write(kOptionRecordFile, wxString()); });
    }
    else
    {
        // No overwrite question: the file is appended to, never replaced.
        wxFileDialog dialog(this, _("Record to File"), wxString(), L"focus.jsonl",
                            _("JSON lines (*.jsonl)|*.jsonl|All files|*"), wxFD_SAVE);
        if (dialog.ShowModal() == wxID_OK)
        {
            const wxString path = dialog.GetPath();
            WriteSettings([&path](wxConfigBase& config) { config.Write(kOptionRecordFile, path); });
            OpenRecord(path);
        }
    }
    // The toolkit has already flipped the mark, whatever came of the choice.
    ShowChecks();
}

void MainFrame::StartSystemLog(bool on)
{
    if (!m_systemLogProblem.empty())
    {
        m_systemLogProblem.clear();
        ShowTrackingNotice();
    }
    // The system log tells its problem from the thread it is written from,
    // maybe after the frame is gone: the frame is looked up when it is told.
    m_activity.SetSystemLog(on ? CreateSystemLog() : nullptr, [](const wxString& problem) {
        wxTheApp->CallAfter([problem] {
            if (MainFrame* frame = wxDynamicCast(wxTheApp->GetTopWindow(), MainFrame))
                frame->OnSystemLogProblem(problem);
        });
    });
    ShowChecks();
}

// Said below the log and on stderr, never in a box: a box would take the
// focus from whatever the user is doing, and be logged as a take itself.
// The option stays as the user set it; the next start tries again.
void MainFrame::OnSystemLogProblem(const wxString& problem)
{
    std::fprintf(stderr, "Corvalin: %s\n", static_cast<const char*>(problem.utf8_str()));
    m_activity.SetSystemLog(nullptr, nullptr);
    ShowChecks();
    m_systemLogProblem = wxString::Format(_("Log to System Journal is off: %s"), problem);
    ShowTrackingNotice();
}

void MainFrame::OnStartAtLogin(wxCommandEvent&)
{
    wxString problem;
    if (!SetStartAtLogin(!StartsAtLogin(), problem))
        wxLogError(_("Start at Login: %s"), problem);
    ShowChecks();
}

void MainFrame::OnFocusThieves(wxCommandEvent&)
{
    wxAuiPaneInfo& pane = m_mgr.GetPane(m_thieves);
    pane.Show(!pane.IsShown());
    m_mgr.Update();
    FitThievesPane(true);
    ShowChecks();
}

void MainFrame::OnMenuOpen(wxMenuEvent& event)
{
    // The entry may have been removed since, by an uninstall or by hand; the
    // pane's own close button hides it too.
    ShowChecks();
    event.Skip();
}

// Options: read once at start, written at exit.
void MainFrame::LoadOptions()
{
    wxConfigBase* config = wxConfigBase::Get();
    m_minimizeOnClose = ReadBoolOption(*config, kOptionMinimizeOnClose, false);

    const wxString badFilter =
        m_activity.Filter().Set(config->Read(kOptionExcludeModules, wxString()),
                                config->Read(kOptionExcludeTitles, wxString()),
                                ReadBoolOption(*config, kOptionStoreTitles, true),
                                ReadBoolOption(*config, kOptionStoreCommandLines, true));
    if (!badFilter.empty())
        ReportLater(badFilter);
    OpenRecord(config->Read(kOptionRecordFile, wxString()));
    for (const CheckedOption& option : m_checked)
        if (option.key && option.apply)
            option.apply(ReadBoolOption(*config, option.key, option.byDefault));
    ShowChecks();

    // Nothing, or over a minute, is no "just before": the default then.
    m_activity.SetPromptedWithinMs(static_cast<unsigned>(ReadRangeOption(
        *config, kOptionPromptedWithinMs, ActivityLogger::kDefaultPromptedWithinMs, 1, 60000)));

    m_hotKeyCode = ReadLow16Option(*config, kOptionHotKey, 80);
    m_hotKeyModifiers = ReadLow16Option(*config, kOptionHotKeyModifiers, 6);
}

// The hot key and the tray icon, in this order, once the frame is on screen:
// both keep the window system busy, and the tray's mandatory pause stops us,
// which would otherwise delay the window's first appearance.
void MainFrame::FinishStart()
{
    if (m_startFinished)
        return;
    m_startFinished = true;
    RegisterMainHotKey(m_hotKeyModifiers, m_hotKeyCode);
    m_trayIcon.reset(CreateTrayIcon(MainIcons(), wxTheApp->GetAppName(), true));
    // Once more here, since making the tray icon may activate us.
    m_handBack.GiveBack();
}

void MainFrame::RegisterMainHotKey(int modifiers, int keyCode)
{
    if (keyCode == 0 || modifiers == 0)
        return;
    const bool grabbed = RegisterGlobalHotKey(this, ID_MAIN_HOTKEY, modifiers, keyCode);
    // Under Wayland the compositor sees the keys its native windows get; the
    // same key, bound there as well, comes back as the same sample.
    wxString problem;
    const bool bound = m_platform->BindHotKey(
        modifiers, keyCode, [this] { CallAfter([this] { LogForegroundChange(Seen::HotKey); }); }, problem);
    // A compositor that binds keys answers either way; elsewhere nothing.
    const bool compositor = bound || !problem.empty();
    const wxString grabText = _("X11 grab: refused, or no X11 display.");
    const wxString bindText = _("Compositor binding: ") + problem;
    if (compositor && !grabbed)
        std::fprintf(stderr, "Corvalin: hot key: %s%s\n", static_cast<const char*>(grabText.utf8_str()),
                     bound ? " The compositor's binding works." : "");
    if (!problem.empty())
        std::fprintf(stderr, "Corvalin: %s\n", static_cast<const char*>(problem.utf8_str()));
    // One way that works is enough: no box for the other.
    if (grabbed || bound)
        return;
    wxString text = _("Error while registering Main Hot Key combination. Please, select another "
                      "combination in the Options.");
    if (compositor)
        text += L"\n\n" + grabText + L"\n" + bindText;
    wxLogError(L"%s", text);
}

// Makes no X call: it also runs after the connection to the display is lost.
void MainFrame::SaveOptions()
{
    // A failure is kept and reported once at exit, not once per flush.
    WriteSettings([this](wxConfigBase& config) {
        for (const CheckedOption& option : m_checked)
            if (option.key && !option.writtenAtOnce)
                WriteBoolOption(config, option.key, option.state());
    });
}

// Options that are written at once are written as if the settings file were
// edited: the next start does the same, whatever becomes of this one.
void MainFrame::OnCheckedOption(wxCommandEvent& event)
{
    for (const CheckedOption& option : m_checked)
    {
        if (option.id != event.GetId() || !option.apply)
            continue;
        const bool on = !option.state();
        if (option.writtenAtOnce)
            WriteSettings([&option, on](wxConfigBase& config) { WriteBoolOption(config, option.key, on); });
        option.apply(on);
    }
    ShowChecks();
}

// The toolkit flips a check mark when it is chosen, whatever came of it.
void MainFrame::ShowChecks()
{
    if (wxMenuBar* bar = GetMenuBar())
        for (const CheckedOption& option : m_checked)
            if (wxMenuItem* item = bar->FindItem(option.id))
                item->Check(option.state());
}

void MainFrame::WriteSettings(const std::function<void(wxConfigBase&)>& write)
{
    wxConfigBase* config = wxConfigBase::Get();
    write(*config);
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

// Window placement and dock layout.
void MainFrame::OnSize(wxSizeEvent& event)
{
    if (m_placement)
        m_placement->OnSize(event);
    if (m_notice)
        m_notice->FitToWidth();
    // After the docking manager has laid the frame out at its new size.
    if (m_initialised)
        CallAfter([this] { FitThievesPane(true); });
    event.Skip();
}

void MainFrame::FitThievesPane(bool grow)
{
    if (!m_mgr.GetPane(m_thieves).IsShown())
        return;
    m_mgr.FitSideDock(m_thieves, m_thieves->WantedWidth(), grow ? GetClientSize().x / 2 : 0, kLogMinWidth);
}

void MainFrame::OnMove(wxMoveEvent& event)
{
    if (m_placement)
        m_placement->OnMove(event);
    event.Skip();
}

void MainFrame::SaveDockLayout()
{
    WriteDockLayout(DockLayoutPath(), m_mgr.SavePerspective());
}

void MainFrame::LoadDockLayout()
{
    const wxString perspective = ReadDockLayout(DockLayoutPath());
    if (perspective.empty() || !IsUsableDockLayout(perspective))
        return;
    const wxString built = m_mgr.SavePerspective();
    m_mgr.LoadPerspective(perspective, true);
    // A pane saved wide in a larger frame gives the log its room back.
    FitThievesPane(false);
    // Sizes the check above lets through can still squeeze the log away in a
    // small frame; the layout of the constructor is better than none.
    const wxSize logSize = m_log->GetSize();
    if (!m_mgr.GetPane(m_log).IsShown() || logSize.x <= 0 || logSize.y <= 0)
        m_mgr.LoadPerspective(built, true);
    ShowChecks();
}
