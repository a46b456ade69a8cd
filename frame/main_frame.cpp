#include "frame/main_frame.h"

#include <wx/app.h>
#include <wx/aui/aui.h>
#include <wx/config.h>
#include <wx/dialog.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/textctrl.h>
#include <wx/toolbar.h>
#include <wx/valtext.h>

#include "desktop/hot_key.h"
#include "desktop/tray_icon.h"
#include "frame/ids.h"
#include "frame/menu_item_bitmaps.h"
#include "resources/images.h"
#include "settings/options.h"
#include "settings/window_manager_helper.h"

wxIMPLEMENT_CLASS(MainFrame, wxFrame);

wxBEGIN_EVENT_TABLE(MainFrame, wxFrame)
    EVT_MAIN_HOTKEY(ID_MAIN_HOTKEY, MainFrame::OnHotKey)
    EVT_CLOSE(MainFrame::OnClose)
    EVT_ICONIZE(MainFrame::OnIconize)
    EVT_SIZE(MainFrame::OnSize)
    EVT_MOVE(MainFrame::OnMove)
    EVT_KEY_DOWN(MainFrame::OnKeyDown)
    EVT_MENU(ID_MONITOR_WINDOWS, MainFrame::OnMonitorWindows)
    EVT_MENU(ID_CLEAR_LOG, MainFrame::OnClearLog)
    EVT_MENU(wxID_ABOUT, MainFrame::OnAbout)
    EVT_MENU(ID_ALWAYS_ON_TOP, MainFrame::OnAlwaysOnTop)
    EVT_MENU(wxID_EXIT, MainFrame::OnExitCommand)
    EVT_MENU(ID_HIDE_TO_TRAY, MainFrame::OnHideToTray)
    EVT_TIMER(ID_MONITOR_TIMER, MainFrame::OnMonitorTimer)
wxEND_EVENT_TABLE()

MainFrame::MainFrame(wxWindow* parent, wxWindowID id, const wxString& title,
                     const wxPoint& pos, const wxSize& size, long style)
    : m_platform(CreateWindowPlatform())
{
    Create(parent, id, title, pos, size, style);
}

bool MainFrame::Create(wxWindow* parent, wxWindowID id, const wxString& title,
                       wxPoint pos, wxSize size, long style)
{
    m_placement.reset(new WindowManagerHelper(this, L"SelDlg"));
    m_placement->Load(pos, size);

    bool minimizeOnRun = false;
    if (wxConfigBase* config = wxConfigBase::Get())
        minimizeOnRun = ReadBoolOption(*config, L"/Options/MinimizeOnRun", false);
    const WindowHandle previousForeground = m_platform->ForegroundWindow();

    if (m_placement->IsMaximized())
        style |= wxMAXIMIZE;
    SetExtraStyle(wxWS_EX_VALIDATE_RECURSIVELY);
    wxFrame::Create(parent, id, title, pos, size, style);

    CreateControls();
    InitDialog();
    m_initialised = true;
    LoadDockLayout();
    if (m_placement->IsMaximized())
        Maximize(true);
    Show(!minimizeOnRun);
    if (minimizeOnRun && m_platform->IsValidWindow(previousForeground))
        m_platform->GiveForeground(previousForeground);
    return true;
}

wxMenuItem* MainFrame::AppendBitmapItem(wxMenu* menu, int id, const wxString& text,
                                        const wxString& help, const wxBitmap& checked,
                                        const wxBitmap& unchecked, wxItemKind kind,
                                        wxMenu* subMenu)
{
    wxMenuItem* item = new wxMenuItem(menu, id, text, help, kind, subMenu);
    SetMenuItemBitmaps(item, checked, unchecked);
    return menu->Append(item);
}

void MainFrame::CreateControls()
{
    m_mgr.SetManagedWindow(this);

    wxMenuBar* menuBar = new wxMenuBar;
    wxMenu* menu = new wxMenu;
    menu->Append(ID_MONITOR_WINDOWS, _("&Monitor Windows \tCtrl+M"), wxString(), wxITEM_CHECK);
    AppendBitmapItem(menu, ID_CLEAR_LOG, _("Clear &Log\tCtrl+L"), wxString(), ClearLogImage(),
                     wxNullBitmap, wxITEM_NORMAL, nullptr);
    menu->AppendSeparator();
    menu->Append(ID_ALWAYS_ON_TOP, _("Always on top"), wxString(), wxITEM_CHECK);
    menu->AppendSeparator();
    AppendBitmapItem(menu, wxID_ABOUT, _("&About"), wxString(), AboutImage(), wxNullBitmap,
                     wxITEM_NORMAL, nullptr);
    menu->AppendSeparator();
    AppendBitmapItem(menu, ID_HIDE_TO_TRAY, _("&Hide to Tray"), wxString(), HideImage(),
                     wxNullBitmap, wxITEM_NORMAL, nullptr);
    AppendBitmapItem(menu, wxID_EXIT, _("E&xit\tAlt-X"), wxString(), ExitImage(), wxNullBitmap,
                     wxITEM_NORMAL, nullptr);
    menuBar->Append(menu, _("&File"));
    SetMenuBar(menuBar);

    m_toolbar = new wxToolBar(this, ID_TOOLBAR, wxDefaultPosition, wxDefaultSize,
                              wxTB_HORIZONTAL | wxTB_FLAT | wxTB_NODIVIDER, L"toolbar");
    m_toolbar->SetToolBitmapSize(wxSize(16, 16));
    m_toolbar->AddTool(ID_CLEAR_LOG, wxString(), ClearLogImage(), wxNullBitmap, wxITEM_NORMAL,
                       L"Clear Log", wxString());
    m_toolbar->AddSeparator();
    m_toolbar->AddTool(wxID_ABOUT, wxString(), AboutImage(), wxNullBitmap, wxITEM_NORMAL,
                       L"About", wxString());
    m_toolbar->AddSeparator();
    m_toolbar->AddTool(ID_HIDE_TO_TRAY, wxString(), HideImage(), wxNullBitmap, wxITEM_NORMAL,
                       L"Hide window", wxString());
    m_toolbar->AddTool(wxID_EXIT, wxString(), ExitImage(), wxNullBitmap, wxITEM_NORMAL,
                       L"Terminate Application", wxString());
    m_toolbar->AddSeparator();
    m_toolbar->Realize();

    m_mgr.AddPane(m_toolbar, wxAuiPaneInfo()
                                 .Name(L"TpplBarPane")
                                 .ToolbarPane()
                                 .Top()
                                 .Layer(10)
                                 .Row(0)
                                 .Position(0)
                                 .Gripper(true)
                                 .Dockable(false)
                                 .Floatable(false)
                                 .Movable(false)
                                 .Resizable(false)
                                 .PaneBorder(false)
                                 .CaptionVisible(false)
                                 .CloseButton(false));

    m_log = new wxTextCtrl(this, ID_LOG, wxString(), wxDefaultPosition, wxDefaultSize,
                           wxTE_MULTILINE | wxTE_RICH | wxTE_AUTO_URL | wxTE_NOHIDESEL);
    m_mgr.AddPane(m_log, wxAuiPaneInfo()
                             .Name(L"ID_Note")
                             .Centre()
                             .Layer(0)
                             .Row(0)
                             .Position(0)
                             .Floatable(false)
                             .CloseButton(false)
                             .CaptionVisible(true)
                             .Caption(wxString()));
    m_log->SetValidator(wxTextValidator(wxFILTER_NONE, &m_logValue));
    m_mgr.Update();
    m_log->Connect(wxID_ANY, wxEVT_KEY_DOWN, wxKeyEventHandler(MainFrame::OnKeyDown), nullptr,
                   this);
}

void MainFrame::InitDialog()
{
    SetIcons(MainIcons());
    LoadOptions();
    m_timer.reset(new wxTimer(this, ID_MONITOR_TIMER));
    m_timer->Start(50, wxTIMER_CONTINUOUS);
}

MainFrame::~MainFrame()
{
    if (wxConfigBase::Get(true))
    {
        m_placement->Save();
        SaveDockLayout();
        SaveOptions();
    }
    UnregisterGlobalHotKey(this, ID_MAIN_HOTKEY);
    m_mgr.UnInit();
}

void MainFrame::Quit(bool forced)
{
    if (!forced &&
        wxMessageBox(L"Quit program?", wxTheApp->GetAppName(), wxYES_NO | wxICON_QUESTION,
                     this) == wxNO)
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
    wxDialog* modal = nullptr;
    for (wxWindowList::compatibility_iterator node = wxTopLevelWindows.GetFirst(); node;
         node = node->GetNext())
    {
        wxDialog* dialog = wxDynamicCast(node->GetData(), wxDialog);
        if (dialog && dialog->IsModal())
            modal = dialog;
    }
    // A minimised frame that was then hidden no longer reports itself as
    // iconized on GTK, yet the window manager still keeps it minimised.
    if (IsIconized() || !IsShown())
        Iconize(false);
    Show(true);
    Raise();
    if (modal)
        modal->SetFocus();
}

void MainFrame::OnHotKey(wxKeyEvent&)
{
    LogForegroundChange();
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

void MainFrame::OnAlwaysOnTop(wxCommandEvent&)
{
    ToggleStayOnTop();
}

void MainFrame::OnExitCommand(wxCommandEvent&)
{
    Quit(false);
}

void MainFrame::OnHideToTray(wxCommandEvent&)
{
    Show(false);
}
