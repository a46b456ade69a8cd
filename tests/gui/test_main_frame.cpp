// The main frame in-process: its controls, commands, questions and hiding.
#include <gtest/gtest.h>
#include <wx/regex.h>
#include <wx/aui/aui.h>
#include <wx/checkbox.h>
#include <wx/dcmemory.h>
#include <wx/dcscreen.h>
#include <wx/imaglist.h>
#include <wx/dialog.h>
#include <wx/file.h>
#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/image.h>
#include <wx/imagpng.h>
#include <wx/listctrl.h>
#include <wx/menu.h>
#include <wx/msgdlg.h>
#include <wx/stockitem.h>
#include <wx/stdpaths.h>
#include <wx/testing.h>
#include <wx/textctrl.h>
#include <wx/toolbar.h>

#include "app/my_app.h"
#include "frame/ids.h"
#include "frame/main_frame.h"
#include "frame/thieves_pane.h"
#include "gui_test_environment.h"
#include "settings/dock_layout.h"
#include "settings/settings_location.h"
#include "settings/stored_names.h"
#include "settings/toolkit_capture.h"
#include "support/fake_window_platform.h"

namespace
{
// Expects a message box with this text and caption, and answers it.
class ExpectMessage : public wxExpectModalBase<wxMessageDialog, ExpectMessage>
{
public:
    ExpectMessage(const wxString& text, const wxString& caption, int answer)
        : m_text(text), m_caption(caption), m_answer(answer)
    {
    }

protected:
    int OnInvoked(wxMessageDialog* dialog) const override
    {
        EXPECT_EQ(dialog->GetMessage(), m_text);
        EXPECT_EQ(dialog->GetTitle(), m_caption);
        return m_answer;
    }

private:
    wxString m_text;
    wxString m_caption;
    int m_answer;
};

// Answers a file dialog with this path.  GTK's chooser takes a new folder
// asynchronously: the path reads back only once the loop has run.
class ChooseFile : public wxExpectModalBase<wxFileDialog, ChooseFile>
{
public:
    explicit ChooseFile(const wxString& path) : m_path(path) {}

protected:
    int OnInvoked(wxFileDialog* dialog) const override
    {
        dialog->SetPath(m_path);
        EXPECT_TRUE(PumpUntil([&] { return dialog->GetPath() == m_path; }))
            << dialog->GetPath();
        return wxID_OK;
    }

private:
    wxString m_path;
};

void SendCommand(wxWindow* window, int id)
{
    wxCommandEvent event(wxEVT_MENU, id);
    event.SetEventObject(window);
    window->GetEventHandler()->ProcessEvent(event);
}

wxString ReadFileText(const wxString& path)
{
    wxString text;
    wxFile file;
    if (file.Open(path))
        file.ReadAll(&text, wxConvUTF8);
    return text;
}

bool IsGone(wxWindow* frame)
{
    return !wxTopLevelWindows.Find(frame);
}

class MainFrameTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        frame = CreateMainFrame();
        ASSERT_TRUE(PumpUntil([&] { return frame->IsShownOnScreen(); }));
    }
    void TearDown() override
    {
        if (!IsGone(frame))
        {
            frame->Quit(true);
            PumpUntil([&] { return IsGone(frame); });
        }
    }

    ScopedSettings settings;
    MainFrame* frame = nullptr;
};
}  // namespace

TEST_F(MainFrameTest, MenuHasTheExactLabelsKindsAndAccelerators)
{
    wxMenuBar* bar = frame->GetMenuBar();
    ASSERT_EQ(bar->GetMenuCount(), 1u);
    EXPECT_EQ(bar->GetMenuLabel(0), L"&File");
    const wxMenuItemList& items = bar->GetMenu(0)->GetMenuItems();
    const struct
    {
        int id;
        const wchar_t* label;
        wxItemKind kind;
        bool bitmap;
    } expected[] = {
        {ID_MONITOR_WINDOWS, L"&Monitor Windows \tCtrl+M", wxITEM_CHECK, false},
        {ID_CLEAR_LOG, L"Clear &Log\tCtrl+L", wxITEM_NORMAL, true},
        {ID_SAVE_LOG, L"&Save Log As\u2026\tCtrl+S", wxITEM_NORMAL, false},
        {ID_RECORD_TO_FILE, L"&Record to File\u2026", wxITEM_CHECK, false},
        {ID_START_AT_LOGIN, L"Start at Login", wxITEM_CHECK, false},
        {ID_SYSTEM_LOG, L"Log to System Journal", wxITEM_CHECK, false},
        {wxID_SEPARATOR, L"", wxITEM_SEPARATOR, false},
        {ID_ALWAYS_ON_TOP, L"Always on top", wxITEM_CHECK, false},
        {ID_FOCUS_THIEVES, L"Focus Thieves", wxITEM_CHECK, false},
        {ID_NOTIFY_UNPROMPTED, L"Notify Unprompted Takes", wxITEM_CHECK, false},
        {wxID_SEPARATOR, L"", wxITEM_SEPARATOR, false},
        {wxID_ABOUT, L"&About", wxITEM_NORMAL, true},
        {wxID_SEPARATOR, L"", wxITEM_SEPARATOR, false},
        {ID_HIDE_TO_TRAY, L"&Hide to Tray", wxITEM_NORMAL, true},
        {wxID_EXIT, L"E&xit\tAlt-X", wxITEM_NORMAL, true},
    };
    ASSERT_EQ(items.GetCount(), WXSIZEOF(expected));
    size_t i = 0;
    for (wxMenuItemList::compatibility_iterator node = items.GetFirst(); node;
         node = node->GetNext(), ++i)
    {
        const wxMenuItem* item = node->GetData();
        SCOPED_TRACE(expected[i].label);
        EXPECT_EQ(item->GetKind(), expected[i].kind);
        if (expected[i].kind == wxITEM_SEPARATOR)
            continue;
        EXPECT_EQ(item->GetId(), expected[i].id);
        EXPECT_EQ(item->GetItemLabel(), expected[i].label);
        if (!wxIsStockID(item->GetId()))
        {
            EXPECT_TRUE(item->GetHelp().empty());  // the toolkit fills in stock help texts
        }
        EXPECT_EQ(item->GetBitmap().IsOk(), expected[i].bitmap);
    }
    // Defaults: monitoring on, not on top, no record file, no thieves pane,
    // no notifications and no system log.
    EXPECT_TRUE(bar->IsChecked(ID_MONITOR_WINDOWS));
    EXPECT_FALSE(bar->IsChecked(ID_ALWAYS_ON_TOP));
    EXPECT_FALSE(bar->IsChecked(ID_RECORD_TO_FILE));
    EXPECT_FALSE(bar->IsChecked(ID_FOCUS_THIEVES));
    EXPECT_FALSE(bar->IsChecked(ID_NOTIFY_UNPROMPTED));
    EXPECT_FALSE(bar->IsChecked(ID_SYSTEM_LOG));
    EXPECT_EQ(frame->GetStatusBar(), nullptr);
}

TEST_F(MainFrameTest, ToolbarAndLogLiveInTheirNamedPanes)
{
    EXPECT_EQ(frame->GetToolBar(), nullptr);  // a pane, not the frame's own toolbar
    wxToolBar* toolbar = wxDynamicCast(frame->FindWindow(ID_TOOLBAR), wxToolBar);
    ASSERT_NE(toolbar, nullptr);
    EXPECT_EQ(toolbar->GetName(), L"toolbar");
    ASSERT_EQ(toolbar->GetToolsCount(), 7u);
    // The images' own size: 16 x 16 at normal scale.
    EXPECT_EQ(toolbar->GetToolBitmapSize(), wxSize(16, 16));
    const int ids[] = {ID_CLEAR_LOG, -1, wxID_ABOUT, -1, ID_HIDE_TO_TRAY, wxID_EXIT, -1};
    const wchar_t* tips[] = {L"Clear Log", L"", L"About", L"", L"Hide window",
                             L"Terminate Application", L""};
    for (size_t i = 0; i < 7; ++i)
    {
        const wxToolBarToolBase* tool = toolbar->GetToolByPos(static_cast<int>(i));
        if (ids[i] == -1)
        {
            EXPECT_TRUE(tool->IsSeparator()) << i;
            continue;
        }
        EXPECT_EQ(tool->GetId(), ids[i]);
        EXPECT_EQ(tool->GetShortHelp(), tips[i]);
        EXPECT_TRUE(tool->GetLabel().empty());
        EXPECT_TRUE(tool->GetLongHelp().empty());
    }

    wxAuiManager& mgr = frame->GetDockManager();
    wxAuiPaneInfo& bar = mgr.GetPane(L"TpplBarPane");
    ASSERT_TRUE(bar.IsOk());
    EXPECT_EQ(bar.window, toolbar);
    EXPECT_EQ(bar.dock_direction, wxAUI_DOCK_TOP);
    EXPECT_EQ(bar.dock_layer, 10);
    wxAuiPaneInfo& note = mgr.GetPane(L"ID_Note");
    ASSERT_TRUE(note.IsOk());
    EXPECT_EQ(note.window, frame->GetActivityLog());
    EXPECT_EQ(note.dock_direction, wxAUI_DOCK_CENTER);

    wxTextCtrl* log = frame->GetActivityLog();
    EXPECT_EQ(log->GetId(), ID_LOG);
    EXPECT_TRUE(log->IsMultiLine());
    EXPECT_TRUE(log->IsEditable());
    EXPECT_TRUE(log->HasFlag(wxTE_RICH | wxTE_AUTO_URL | wxTE_NOHIDESEL));
}

TEST_F(MainFrameTest, TheFrameLogsItselfAndClearLogStartsAgainAt001)
{
    frame->Raise();
    ASSERT_TRUE(PumpUntil([&] { return frame->GetActivityLog()->GetValue().Contains(L"001."); }));
    const wxString first = frame->GetActivityLog()->GetValue();
    EXPECT_TRUE(first.Contains(L" - Corvalin : Keep Watch! ")) << first;
    PumpEventsFor(300);
    EXPECT_EQ(frame->GetActivityLog()->GetValue(), first);  // no change, no line

    SendCommand(frame, ID_CLEAR_LOG);
    EXPECT_TRUE(frame->GetActivityLog()->GetValue().empty() ||
                frame->GetActivityLog()->GetValue().StartsWith(L"001."));
    ASSERT_TRUE(PumpUntil([&] { return frame->GetActivityLog()->GetValue().StartsWith(L"001."); }));
    EXPECT_FALSE(frame->GetActivityLog()->GetValue().Contains(L"002."));
}

TEST_F(MainFrameTest, MonitoringOffKeepsTheCounterAndTheHotKeySampleStillLogs)
{
    frame->Raise();
    ASSERT_TRUE(PumpUntil([&] { return frame->GetActivityLog()->GetValue().Contains(L"001."); }));
    SendCommand(frame, ID_MONITOR_WINDOWS);
    EXPECT_FALSE(frame->IsMonitoring());
    SendCommand(frame, ID_CLEAR_LOG);
    PumpEventsFor(300);
    EXPECT_TRUE(frame->GetActivityLog()->GetValue().empty());  // ticks log nothing

    frame->LogForegroundChange(Seen::HotKey);  // what the hot key's handler runs
    // In the log at the next turn of the loop, with whatever came with it.
    EXPECT_TRUE(PumpUntil([&] { return frame->GetActivityLog()->GetValue().StartsWith(L"001."); }));
    SendCommand(frame, ID_MONITOR_WINDOWS);
    EXPECT_TRUE(frame->IsMonitoring());
}

TEST_F(MainFrameTest, UserTextAndMonitorLinesShareTheLog)
{
    frame->Raise();
    ASSERT_TRUE(PumpUntil([&] { return frame->GetActivityLog()->GetValue().Contains(L"001."); }));
    frame->GetActivityLog()->SetInsertionPoint(0);
    frame->GetActivityLog()->WriteText(L"note: ");
    SendCommand(frame, ID_CLEAR_LOG);
    frame->LogForegroundChange();
    EXPECT_TRUE(PumpUntil([&] { return frame->GetActivityLog()->GetValue().EndsWith(L") \n"); }));
}

TEST_F(MainFrameTest, TextTypedIntoTheLogNeverRunsIntoTheNextLine)
{
    wxTextCtrl* log = frame->GetActivityLog();
    frame->Raise();
    ASSERT_TRUE(PumpUntil([&] { return log->GetValue().Contains(L"001."); }));
    log->AppendText(L"hello");  // as typed at the end, with no line break
    wxFrame* other = new wxFrame(nullptr, wxID_ANY, L"Other window");
    other->Show();
    other->Raise();
    const bool otherLogged = PumpUntil([&] { return log->GetValue().Contains(L" - Other window ("); });
    log->AppendText(L"note\n");  // ended with a line break: no empty line follows
    frame->Raise();
    // The numbers depend on what had the focus before; the line breaks do not.
    const wxRegEx lineAfter(L"note\n[0-9]{3}\\.  ");
    const bool backLogged = PumpUntil([&] { return lineAfter.Matches(log->GetValue()); });
    other->Destroy();
    ASSERT_TRUE(otherLogged);
    const wxString value = log->GetValue();
    EXPECT_TRUE(wxRegEx(L"\\) \nhello\n[0-9]{3}\\.  [^\n]* - Other window \\(").Matches(value))
        << value;
    EXPECT_TRUE(backLogged) << value;
    EXPECT_FALSE(value.Contains(L"\n\n")) << value;
}

TEST_F(MainFrameTest, RecordToFileStartsRecordingIntoTheChosenFileAndStopsAgain)
{
    const wxString path = wxFileName(settings.Path()).GetPath() + L"/chosen.jsonl";
    wxMenuBar* bar = frame->GetMenuBar();
    wxTextCtrl* log = frame->GetActivityLog();
    frame->Raise();
    ASSERT_TRUE(PumpUntil([&] { return log->GetValue().Contains(L"001."); }));

    wxTEST_DIALOG(SendCommand(frame, ID_RECORD_TO_FILE), ChooseFile(path));
    EXPECT_TRUE(bar->IsChecked(ID_RECORD_TO_FILE));
    // Written through to the file at once, not only at exit.
    wxFileConfig saved(L"Corvalin", L"Pellowen", settings.Path(), wxString(),
                       wxCONFIG_USE_LOCAL_FILE);
    EXPECT_EQ(saved.Read(L"/Options/RecordFile", L"?"), path);
    // Clearing the log logs the foreground window again as line 1.
    SendCommand(frame, ID_CLEAR_LOG);
    ASSERT_TRUE(PumpUntil([&] { return log->GetValue().StartsWith(L"001."); }));
    const wxString recorded = ReadFileText(path);
    EXPECT_TRUE(recorded.StartsWith(L"{\"time\":")) << recorded;
    EXPECT_TRUE(recorded.Contains(L"\"number\":1,")) << recorded;
    EXPECT_EQ(recorded.Freq(L'\n'), 1u) << recorded;

    // Picked again: recording stops without a dialog.
    ASSERT_TRUE(bar->IsChecked(ID_RECORD_TO_FILE));  // else a real dialog would wait for ever
    SendCommand(frame, ID_RECORD_TO_FILE);
    EXPECT_FALSE(bar->IsChecked(ID_RECORD_TO_FILE));
    wxFileConfig cleared(L"Corvalin", L"Pellowen", settings.Path(), wxString(),
                         wxCONFIG_USE_LOCAL_FILE);
    EXPECT_EQ(cleared.Read(L"/Options/RecordFile", L"?"), L"");
    SendCommand(frame, ID_CLEAR_LOG);
    ASSERT_TRUE(PumpUntil([&] { return log->GetValue().StartsWith(L"001."); }));
    EXPECT_EQ(ReadFileText(path), recorded);
}

// Log to System Journal is written through at once, as Record to File is.
// Where no journal listens (the test session has none of its own), the
// first line says so once, and the log goes on.
TEST_F(MainFrameTest, LogToSystemJournalIsWrittenThroughAndAMissingJournalToldOnce)
{
    LogCapture capture;
    wxTextCtrl* log = frame->GetActivityLog();
    auto stored = [&] {
        return wxFileConfig(L"Corvalin", L"Pellowen", settings.Path(), wxString(), wxCONFIG_USE_LOCAL_FILE)
            .Read(L"/Options/SystemLog", L"?");
    };
    SendCommand(frame, ID_SYSTEM_LOG);
    EXPECT_TRUE(frame->GetMenuBar()->IsChecked(ID_SYSTEM_LOG));
    EXPECT_EQ(stored(), L"1");
    for (int line = 0; line < 3; ++line)
    {
        SendCommand(frame, ID_CLEAR_LOG);
        ASSERT_TRUE(PumpUntil([&] { return log->GetValue().StartsWith(L"001."); }));
    }
    PumpEventsFor(300);
    const bool journal = wxFileName(L"/run/systemd/journal/socket").Exists();
    // No journal: said below the log, never in a box, and the item unchecked;
    // the option stays as the user set it.
    EXPECT_FALSE(capture.Text().Contains(L"There is no system journal here")) << capture.Text();
    const wxAuiPaneInfo& notice = frame->GetDockManager().GetPane(L"NoticePane");
    const bool said = notice.IsOk() && notice.IsShown() &&
                      wxDynamicCast(notice.window, wxTextCtrl)->GetValue().Contains(
                          L"Log to System Journal is off: There is no system journal here");
    EXPECT_EQ(said, !journal);
    EXPECT_EQ(frame->GetMenuBar()->IsChecked(ID_SYSTEM_LOG), journal);
    EXPECT_EQ(stored(), L"1");
    // On again: tried again, and told again (not the earlier notice kept).
    SendCommand(frame, ID_SYSTEM_LOG);
    EXPECT_EQ(frame->GetMenuBar()->IsChecked(ID_SYSTEM_LOG), !journal);
    EXPECT_FALSE(frame->GetDockManager().GetPane(L"NoticePane").IsShown());
    SendCommand(frame, ID_CLEAR_LOG);
    PumpEventsFor(300);
    EXPECT_EQ(frame->GetDockManager().GetPane(L"NoticePane").IsShown(), !journal);
    EXPECT_FALSE(frame->GetMenuBar()->IsChecked(ID_SYSTEM_LOG));
    EXPECT_EQ(stored(), journal ? L"0" : L"1");
}

TEST_F(MainFrameTest, AlwaysOnTopTwiceRestoresTheStyle)
{
    const long before = frame->GetWindowStyleFlag();
    EXPECT_FALSE(before & wxSTAY_ON_TOP);
    SendCommand(frame, ID_ALWAYS_ON_TOP);
    EXPECT_TRUE(frame->GetWindowStyleFlag() & wxSTAY_ON_TOP);
    SendCommand(frame, ID_ALWAYS_ON_TOP);
    EXPECT_EQ(frame->GetWindowStyleFlag(), before);
}

TEST_F(MainFrameTest, QuitAnsweredNoChangesNothingAndYesSavesAndDestroys)
{
    wxTEST_DIALOG(SendCommand(frame, wxID_EXIT),
                  ExpectMessage(L"Quit program?", L"Corvalin", wxID_NO));
    PumpEventsFor(100);
    EXPECT_FALSE(IsGone(frame));
    EXPECT_TRUE(frame->IsShown());
    // Escape or the box's close button: GTK answers Cancel.
    wxTEST_DIALOG(SendCommand(frame, wxID_EXIT),
                  ExpectMessage(L"Quit program?", L"Corvalin", wxID_CANCEL));
    PumpEventsFor(100);
    EXPECT_FALSE(IsGone(frame));

    wxTEST_DIALOG(SendCommand(frame, wxID_EXIT),
                  ExpectMessage(L"Quit program?", L"Corvalin", wxID_YES));
    ASSERT_TRUE(PumpUntil([&] { return IsGone(frame); }));
    EXPECT_EQ(wxGetApp().GetLiveFrame(), nullptr);
    // The destructor saved the options.
    EXPECT_EQ(settings.Config().ReadLong(L"/Options/MonitorWindows", -1), 1);
    EXPECT_EQ(settings.Config().ReadLong(L"/Options/AlwaysOnTop", -1), 0);
}

TEST_F(MainFrameTest, CloseBoxAsksAndAnUnvetoableCloseDoesNot)
{
    wxTEST_DIALOG(frame->Close(), ExpectMessage(L"Quit program?", L"Corvalin", wxID_NO));
    PumpEventsFor(50);
    EXPECT_FALSE(IsGone(frame));
    frame->Close(true);  // forced: cannot be vetoed, so no question
    ASSERT_TRUE(PumpUntil([&] { return IsGone(frame); }));
}

TEST_F(MainFrameTest, QuitNamesEveryOpenDialogBeforeLeaving)
{
    wxDialog* first = new wxDialog(nullptr, wxID_ANY, L"Find Window");
    wxDialog* second = new wxDialog(nullptr, wxID_ANY, L"Properties");
    first->Show();
    second->Show();
    wxTEST_DIALOG(frame->Quit(false),
                  ExpectMessage(L"Quit program?", L"Corvalin", wxID_YES),
                  ExpectMessage(L"Find Window", L"Message", wxID_OK),
                  ExpectMessage(L"Properties", L"Message", wxID_OK));
    ASSERT_TRUE(PumpUntil([&] { return IsGone(frame); }));
    first->Destroy();
    second->Destroy();
    PumpEventsFor(50);
}

TEST_F(MainFrameTest, HideMinimiseAndShowOrHide)
{
    SendCommand(frame, ID_HIDE_TO_TRAY);
    EXPECT_FALSE(frame->IsShown());
    frame->ShowOrHide();
    EXPECT_TRUE(frame->IsShown());
    ASSERT_TRUE(PumpUntil([&] { return frame->IsActive() && frame->IsShownOnScreen(); }));
    frame->ShowOrHide();  // active and on screen: hides
    EXPECT_FALSE(frame->IsShown());
    frame->ShowOrHide();
    ASSERT_TRUE(PumpUntil([&] { return frame->IsShownOnScreen(); }));

    PumpEventsFor(500);
    frame->Iconize(true);  // minimising hides the frame
    const bool hidden = PumpUntil([&] { return !frame->IsShown(); });
    ASSERT_TRUE(hidden) << "iconized=" << frame->IsIconized();
    frame->ShowOrHide();
    ASSERT_TRUE(PumpUntil([&] { return frame->IsShownOnScreen() && !frame->IsIconized(); }));
}

TEST_F(MainFrameTest, EndOfSessionSavesAndQuitsWithoutAskingEvenWhenHidden)
{
    SendCommand(frame, ID_MONITOR_WINDOWS);
    SendCommand(frame, ID_HIDE_TO_TRAY);
    wxCloseEvent event(wxEVT_QUERY_END_SESSION);
    wxGetApp().OnQueryEndSession(event);  // a question here would fail the test
    EXPECT_FALSE(event.GetVeto());
    EXPECT_EQ(settings.Config().ReadLong(L"/Options/MonitorWindows", -1), 0);
    ASSERT_TRUE(PumpUntil([&] { return IsGone(frame); }));
    // Arriving again after the frame is gone touches nothing.
    wxGetApp().OnQueryEndSession(event);
}

// A Wayland session whose compositor tells nobody the focus: the frame says
// below the log which windows it can see, whole and selectable at any width,
// and an X11 session shows nothing there.
TEST(MainFrameNotice, WhatCannotBeSeenStaysInSight)
{
    ScopedSettings settings;
    auto noticeOf = [](MainFrame* frame) -> wxAuiPaneInfo& {
        return wxAuiManager::GetManager(frame)->GetPane(kNoticePaneName);
    };
    MainFrame* frame = CreateMainFrame();
    // Without a notice there is no pane for it at all.
    EXPECT_FALSE(noticeOf(frame).IsOk());
    frame->Quit(true);
    ASSERT_TRUE(PumpUntil([&] { return IsGone(frame); }));

    wxSetEnv(L"WAYLAND_DISPLAY", L"no-such-compositor");
    frame = CreateMainFrame();
    wxUnsetEnv(L"WAYLAND_DISPLAY");
    wxAuiPaneInfo& pane = noticeOf(frame);
    ASSERT_TRUE(pane.IsShown());
    auto* text = wxDynamicCast(pane.window, wxTextCtrl);
    ASSERT_NE(text, nullptr);
    EXPECT_TRUE(text->GetValue().Contains(L"only the windows of X11 applications can be seen"))
        << text->GetValue();
    // Narrow: the notice wraps to more lines, and its pane grows to show
    // them all, one line at least per 300 px of text.
    const int wideHeight = text->GetSize().y;
    frame->SetSize(wxSize(320, 400));
    PumpUntil([&] { return text->GetSize().y > wideHeight; });
    const int lines = text->GetTextExtent(text->GetValue()).x / 300;
    EXPECT_GE(text->GetSize().y, lines * text->GetCharHeight())
        << lines << " lines in " << text->GetSize().y << " px";
    EXPECT_GT(text->GetSize().y, wideHeight);
    // Selectable: all of it, as a user would copy it.
    text->SetSelection(-1, -1);
    EXPECT_EQ(text->GetStringSelection(), text->GetValue());
    EXPECT_FALSE(text->IsEditable());
    frame->Quit(true);
    ASSERT_TRUE(PumpUntil([&] { return IsGone(frame); }));
}

// "Start at Login" writes the session's own entry (a valid desktop entry
// that starts this executable), removes it again, and shows what the entry
// says, also after someone else removed it.
TEST_F(MainFrameTest, StartAtLoginFollowsTheSessionsOwnEntry)
{
    wxString config;
    ASSERT_TRUE(wxGetEnv(L"XDG_CONFIG_HOME", &config));
    const wxString entry = config + L"/autostart/example.pellowen.Corvalin.desktop";
    wxRemoveFile(entry);
    wxMenuItem* item = frame->GetMenuBar()->FindItem(ID_START_AT_LOGIN);
    ASSERT_NE(item, nullptr);

    SendCommand(frame, ID_START_AT_LOGIN);
    ASSERT_TRUE(wxFileExists(entry));
    EXPECT_TRUE(item->IsChecked());
    const wxString text = ReadFileText(entry);
    EXPECT_TRUE(text.Contains(L"Exec=\"" + wxStandardPaths::Get().GetExecutablePath() + L"\"\n"))
        << text;
    wxArrayString output, errors;
    if (wxFileExists(L"/usr/bin/desktop-file-validate"))
    {
        EXPECT_EQ(wxExecute(L"desktop-file-validate " + entry, output, errors, wxEXEC_SYNC), 0)
            << wxJoin(output, L'\n') << wxJoin(errors, L'\n');
    }

    wxRemoveFile(entry);  // by hand, or by an uninstall
    wxMenuEvent open(wxEVT_MENU_OPEN, 0, frame->GetMenuBar()->GetMenu(0));
    frame->GetEventHandler()->ProcessEvent(open);
    EXPECT_FALSE(item->IsChecked());

    SendCommand(frame, ID_START_AT_LOGIN);
    SendCommand(frame, ID_START_AT_LOGIN);
    EXPECT_FALSE(wxFileExists(entry));
    EXPECT_FALSE(item->IsChecked());
}

namespace
{
// The settings folder, and so the dock layout, in the test's own folder.
class ScopedSettingsFolder
{
public:
    explicit ScopedSettingsFolder(const ScopedSettings& settings) : m_before(SettingsDirectory())
    {
        SetSettingsDirectory(wxFileName(settings.Path()).GetPath() + L"/");
    }
    ~ScopedSettingsFolder() { SetSettingsDirectory(m_before); }

private:
    wxString m_before;
};

void Click(wxWindow* parent, int id)
{
    wxWindow* button = parent->FindWindow(id);
    ASSERT_NE(button, nullptr);
    wxCommandEvent event(wxEVT_BUTTON, id);
    event.SetEventObject(button);
    button->GetEventHandler()->ProcessEvent(event);
}

// The first `columns` cells of a row, as shown.
std::vector<wxString> Row(wxListCtrl* table, long row, int columns = 6)
{
    std::vector<wxString> cells;
    for (int column = 0; column < columns; ++column)
        cells.push_back(table->GetItemText(row, column));
    return cells;
}

// Where the timeline draws a moment, as a user would measure it.
int TimelineX(wxWindow* timeline, const wxDateTime& when)
{
    const double sinceStart = (when - (wxDateTime::UNow() - wxTimeSpan::Minutes(10)))
                                  .GetMilliseconds().ToDouble();
    return static_cast<int>(sinceStart * timeline->GetClientSize().x / 600000.0);
}

// Red below the timeline's header line, which holds the legend.
bool HasRed(const wxImage& image, int fromX, int toX)
{
    for (int x = std::max(0, fromX); x <= toX && x < image.GetWidth(); ++x)
        for (int y = image.GetHeight() / 5; y < image.GetHeight(); ++y)
            if (image.GetRed(x, y) > 180 && image.GetGreen(x, y) < 80 && image.GetBlue(x, y) < 80)
                return true;
    return false;
}

// The frame on a desktop of the test's own: its changes reach the logger as
// the platform's events, at the times the test gives.
class ThievesPaneTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        auto platform = std::make_unique<FakeWindowPlatform>();
        desktop = platform.get();
        desktop->AddWindow(1, L"notes.txt", 10);
        desktop->AddWindow(2, L"Inbox", 20);
        desktop->AddWindow(3, L"Update available", 30);
        desktop->AddWindow(4, L"Rate us!", 40);
        desktop->modules = {{10, L"editor"}, {20, L"mail"}, {30, L"updater"}, {40, L"nagger"}};
        frame = CreateMainFrame(std::move(platform));
        ASSERT_TRUE(PumpUntil([&] { return frame->IsShownOnScreen(); }));
        pane = wxDynamicCast(frame->GetDockManager().GetPane(L"ThievesPane").window, ThievesPane);
        ASSERT_NE(pane, nullptr);
    }
    void TearDown() override
    {
        frame->Quit(true);
        PumpUntil([&] { return IsGone(frame); });
    }
    void Change(long afterStartMs, WindowHandle window, bool unprompted)
    {
        desktop->input =
            ChangeInput{unprompted ? 5000u : 10u, std::nullopt, ActivationRequest::Unknown};
        desktop->DeliverEvent(window, start + wxTimeSpan::Milliseconds(afterStartMs));
        desktop->foreground = window;  // what the timer's samples then see
    }

    ScopedSettings settings;
    ScopedSettingsFolder folder{settings};
    const wxDateTime start = wxDateTime::UNow() - wxTimeSpan::Minutes(8);
    FakeWindowPlatform* desktop = nullptr;
    MainFrame* frame = nullptr;
    ThievesPane* pane = nullptr;
};
}  // namespace

// Two thieves among two programs the user works in: the table counts each
// program's takes, unprompted and brief, most unprompted first; a row leads
// to the program's last line; the timeline names a hold and marks thefts.
TEST_F(ThievesPaneTest, CountsEachProgramsTakesAndDrawsItsHolds)
{
    // The updater and the nagger are started by one script.
    const std::int64_t startMs = start.GetValue().GetValue();
    ProcessInfo process;
    process.parentPid = 1;
    process.startedMs = startMs - 1000;
    process.module = L"bash";
    process.commandLine = wxString(L"bash /usr/local/bin/nag.sh");
    desktop->processes[5] = process;
    process.parentPid = 5;
    process.startedMs = startMs;
    process.commandLine = wxString(L"updater --check");
    for (unsigned long pid : {30ul, 40ul})
    {
        process.module = desktop->modules[pid];
        desktop->processes[pid] = process;
    }
    Change(0, 1, false);
    Change(30000, 2, false);
    Change(60000, 3, true);   // the updater takes the focus from mail
    Change(60040, 2, true);   // and gives it back: the theft ends
    Change(90000, 4, true);
    Change(90300, 3, true);   // a thief taking from a thief
    Change(90320, 1, false);
    desktop->Attempt(4, AttemptKind::Urgent);  // refused: no change, but counted

    wxMenuBar* bar = frame->GetMenuBar();
    wxListCtrl* table = pane->GetTable();
    SendCommand(frame, ID_FOCUS_THIEVES);
    EXPECT_TRUE(bar->IsChecked(ID_FOCUS_THIEVES));
    EXPECT_TRUE(frame->GetDockManager().GetPane(pane).IsShown());
    wxWindow* timeline = pane->GetTimeline();
    ASSERT_TRUE(PumpUntil(
        [&] { return table->GetItemCount() == 4 && timeline->GetClientSize().x > 100; }));
    const wxString lastUpdater =
        (start + wxTimeSpan::Milliseconds(90300)).Format(L"%Y-%m-%d %H:%M:%S.%l");
    EXPECT_EQ(Row(table, 0, 11), (std::vector<wxString>{L"updater", L"nag.sh", L"2", L"2", L"2", L"0", L"20 ms",
                                                      L"30 ms", L"40 ms", L"60 ms", lastUpdater}));
    EXPECT_EQ(Row(table, 1, 7),
              (std::vector<wxString>{L"nagger", L"nag.sh", L"1", L"1", L"1", L"1", L"300 ms"}));
    EXPECT_EQ(Row(table, 2, 7),
              (std::vector<wxString>{L"editor", L"\u2014", L"2", L"0", L"0", L"0", L"30.000 s"}));
    EXPECT_EQ(Row(table, 3, 7),
              (std::vector<wxString>{L"mail", L"\u2014", L"1", L"0", L"0", L"0", L"30.000 s"}));
    // Every header and cell whole in its column (the first beside its swatch).
    for (int column = 0; column < table->GetColumnCount(); ++column)
    {
        wxListItem header;
        header.SetMask(wxLIST_MASK_TEXT);
        table->GetColumn(column, header);
        int widest = table->GetTextExtent(header.GetText()).x;
        for (long row = 0; row < table->GetItemCount(); ++row)
            widest = std::max(widest, table->GetTextExtent(table->GetItemText(row, column)).x);
        EXPECT_GE(table->GetColumnWidth(column), widest + (column == 0 ? 12 : 0) + 4) << column;
    }
    // A row's whole text in its tooltip, where the list draws its rows.
    wxWindow* rows = table;
    for (wxWindow* child : table->GetChildren())
        rows = child->GetSize().y > rows->GetSize().y / 2 ? child : rows;
    wxPoint onFirst(30, -1);
    for (int y = 0; y < rows->GetClientSize().y && onFirst.y < 0; ++y)
        if (int flags = 0; table->HitTest(wxPoint(30, y), flags) == 0)
            onFirst.y = y;
    wxMouseEvent overRow(wxEVT_MOTION);
    overRow.SetPosition(onFirst);
    overRow.SetEventObject(rows);
    rows->GetEventHandler()->ProcessEvent(overRow);
    EXPECT_TRUE(rows->GetToolTipText().StartsWith(L"Program: updater\nLaunched by: nag.sh\nTakes: 2\n"))
        << rows->GetToolTipText();
    // A header click sorts by it, a second turns the order round.
    wxListEvent clicked(wxEVT_LIST_COL_CLICK, table->GetId());
    clicked.m_col = 6;  // Shortest
    clicked.SetEventObject(table);
    table->GetEventHandler()->ProcessEvent(clicked);
    EXPECT_EQ(table->GetItemText(0, 0), L"editor");
    table->GetEventHandler()->ProcessEvent(clicked);
    EXPECT_EQ(table->GetItemText(0, 0), L"updater");
    clicked.m_col = 0;
    table->GetEventHandler()->ProcessEvent(clicked);
    EXPECT_EQ(Row(table, 0, 1)[0] + Row(table, 3, 1)[0], L"editorupdater");
    clicked.m_col = 3;  // Unprompted: the most first, as before any click
    table->GetEventHandler()->ProcessEvent(clicked);
    ASSERT_EQ(Row(table, 0, 1)[0] + Row(table, 1, 1)[0] + Row(table, 3, 1)[0], L"updaternaggermail");

    // The picture as drawn now, to see what marking a program changes.
    auto drawn = [&] {
        wxBitmap bitmap(timeline->GetClientSize());
        {
            wxMemoryDC dc(bitmap);
            pane->GetTimeline()->Draw(dc, bitmap.GetSize());
        }
        return bitmap.ConvertToImage();
    };
    const wxImage unmarked = drawn();
    wxTextCtrl* log = frame->GetActivityLog();
    table->SetItemState(0, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    EXPECT_TRUE(log->GetStringSelection().StartsWith(L"006.  ")) << log->GetStringSelection();
    EXPECT_TRUE(log->GetStringSelection().EndsWith(L"updater - Update available (3) "));
    // The updater marked: mail's long hold beside it pales.
    const wxImage marked = drawn();
    const int mailX = TimelineX(timeline, start + wxTimeSpan::Milliseconds(45000));
    const int laneY = timeline->GetClientSize().y / 2;
    EXPECT_GT(marked.GetRed(mailX, laneY) + marked.GetGreen(mailX, laneY) + marked.GetBlue(mailX, laneY),
              unmarked.GetRed(mailX, laneY) + unmarked.GetGreen(mailX, laneY) + unmarked.GetBlue(mailX, laneY) + 60);
    table->SetItemState(3, wxLIST_STATE_SELECTED, wxLIST_STATE_SELECTED);
    EXPECT_TRUE(log->GetStringSelection().StartsWith(L"004.  ")) << log->GetStringSelection();

    // A double-click lists the program's takes, newest first, each with the
    // window it took the focus from.
    wxWindow* takes = pane->ShowTakes(0);
    ASSERT_NE(takes, nullptr);
    wxListCtrl* list = wxDynamicCast(takes->GetChildren().front(), wxListCtrl);
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->GetItemCount(), 2);
    EXPECT_EQ(Row(list, 0, 5), (std::vector<wxString>{lastUpdater, L"20 ms", L"yes", L"Update available",
                                                     L"nagger \u2014 Rate us!"}));
    EXPECT_EQ(Row(list, 1, 5)[4], L"mail \u2014 Inbox");
    takes->Destroy();

    // The pointer over the picture holds it still; it catches up on leaving.
    const wxPoint inside(timeline->GetClientSize().x / 2, timeline->GetClientSize().y / 2);
    timeline->WarpPointer(inside.x, inside.y);
    wxMouseEvent entered(wxEVT_ENTER_WINDOW);
    entered.SetPosition(inside);
    timeline->GetEventHandler()->ProcessEvent(entered);
    const std::int64_t heldEnd = pane->GetTimeline()->EndMs();
    PumpEventsFor(static_cast<int>(600000 / timeline->GetClientSize().x) + 400);
    EXPECT_EQ(heldEnd, pane->GetTimeline()->EndMs());
    frame->WarpPointer(0, 0);
    wxMouseEvent left(wxEVT_LEAVE_WINDOW);
    timeline->GetEventHandler()->ProcessEvent(left);
    EXPECT_TRUE(PumpUntil([&] { return pane->GetTimeline()->EndMs() > heldEnd; }));

    // Pointing at the 40 ms theft, beside the longer holds of mail.
    const wxDateTime theft = start + wxTimeSpan::Milliseconds(60000);
    wxMouseEvent motion(wxEVT_MOTION);
    motion.m_x = TimelineX(timeline, theft) + 1;
    motion.m_y = timeline->GetClientSize().y / 2;
    timeline->GetEventHandler()->ProcessEvent(motion);
    const wxString tip = timeline->GetToolTipText();
    EXPECT_TRUE(tip.StartsWith(L"updater \u2014 Update available\nfrom " +
                               theft.Format(L"%Y-%m-%d %H:%M:%S.%l") + L"\nheld 40 ms\nunprompted"))
        << tip;
    EXPECT_TRUE(tip.EndsWith(L"started by: updater \u2190 bash\ncommand: updater --check")) << tip;

    // Grouped by launcher, the script's two programs are one row.
    wxCheckBox* byLauncher = nullptr;
    for (wxWindow* child : pane->GetChildren())
        byLauncher = byLauncher ? byLauncher : wxDynamicCast(child, wxCheckBox);
    ASSERT_NE(byLauncher, nullptr);
    byLauncher->SetValue(true);
    wxCommandEvent toggled(wxEVT_CHECKBOX, byLauncher->GetId());
    toggled.SetInt(1);
    toggled.SetEventObject(byLauncher);
    byLauncher->GetEventHandler()->ProcessEvent(toggled);
    EXPECT_EQ(Row(table, 0, 4), (std::vector<wxString>{L"nag.sh", L"updater", L"3", L"3"}));
    EXPECT_EQ(L"(none)", table->GetItemText(1, 0));
    byLauncher->SetValue(false);
    toggled.SetInt(0);
    byLauncher->GetEventHandler()->ProcessEvent(toggled);

    const wxString path = wxFileName(settings.Path()).GetPath() + L"/timeline.png";
    wxTEST_DIALOG(Click(pane, ID_SAVE_PICTURE), ChooseFile(path));
    // Read back by the toolkit's own PNG reader, as a viewer would.
    if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG))
        wxImage::AddHandler(new wxPNGHandler);
    wxImage picture;
    ASSERT_TRUE(picture.LoadFile(path, wxBITMAP_TYPE_PNG));
    // The span above the timeline, the key below it: a swatch of each
    // program's colour, as in the table.
    EXPECT_EQ(picture.GetWidth(), timeline->GetClientSize().x);
    // Below the bars wherever the title line puts them: only ink there.
    const int keyTop = timeline->GetClientSize().y + 8;
    ASSERT_GT(picture.GetHeight(), timeline->GetClientSize().y + 20);
    for (long row = 0; row < table->GetItemCount(); ++row)
    {
        wxListItem item;
        item.SetId(row);
        item.SetMask(wxLIST_MASK_IMAGE);
        table->GetItem(item);
        const wxImage swatch = table->GetImageList(wxIMAGE_LIST_SMALL)->GetBitmap(item.GetImage()).ConvertToImage();
        bool keyed = false;
        for (int y = keyTop; y < picture.GetHeight() && !keyed; ++y)
            for (int x = 0; x < picture.GetWidth() && !keyed; ++x)
                keyed = picture.GetRed(x, y) == swatch.GetRed(5, 5) && picture.GetGreen(x, y) == swatch.GetGreen(5, 5) &&
                        picture.GetBlue(x, y) == swatch.GetBlue(5, 5);
        EXPECT_TRUE(keyed) << table->GetItemText(row);
    }
    // Unprompted takes are marked in red; the user's own are not.
    EXPECT_TRUE(HasRed(picture, TimelineX(timeline, theft) - 4, TimelineX(timeline, theft) + 5));
    const int asked = TimelineX(timeline, start + wxTimeSpan::Milliseconds(30000));
    EXPECT_FALSE(HasRed(picture, asked - 4, asked + 5));

    // Hidden, the pane does nothing; shown again, it catches up at once.
    SendCommand(frame, ID_FOCUS_THIEVES);
    EXPECT_FALSE(bar->IsChecked(ID_FOCUS_THIEVES));
    EXPECT_FALSE(pane->IsShown());
    Change(120000, 4, false);
    PumpEventsFor(600);
    EXPECT_EQ(table->GetItemText(1, 2), L"1");
    SendCommand(frame, ID_FOCUS_THIEVES);
    EXPECT_TRUE(PumpUntil([&] { return table->GetItemText(1, 2) == L"2"; }));
}

// Where the table's rows put a program's colour on screen.
std::vector<wxColour> Swatches(wxListCtrl* table)
{
    std::vector<wxColour> colours;
    for (long row = 0; row < table->GetItemCount(); ++row)
    {
        wxListItem item;
        item.SetId(row);
        item.SetMask(wxLIST_MASK_IMAGE);
        table->GetItem(item);
        const wxImage swatch = table->GetImageList(wxIMAGE_LIST_SMALL)->GetBitmap(item.GetImage()).ConvertToImage();
        colours.emplace_back(swatch.GetRed(5, 5), swatch.GetGreen(5, 5), swatch.GetBlue(5, 5));
    }
    return colours;
}

// How many pixels of the window's area on screen have one of the colours.
int PixelsOf(wxWindow* window, const std::vector<wxColour>& colours)
{
    const wxRect rect = window->GetScreenRect();
    wxBitmap shot(rect.GetSize());
    {
        wxMemoryDC dc(shot);
        wxScreenDC screen;
        dc.Blit(0, 0, rect.width, rect.height, &screen, rect.x, rect.y);
    }
    const wxImage image = shot.ConvertToImage();
    int found = 0;
    for (int y = 0; y < image.GetHeight(); ++y)
        for (int x = 0; x < image.GetWidth(); ++x)
            for (const wxColour& colour : colours)
                found += image.GetRed(x, y) == colour.Red() && image.GetGreen(x, y) == colour.Green() &&
                         image.GetBlue(x, y) == colour.Blue();
    return found;
}

// The pane takes its columns' width in a wide frame; widened by hand and
// the frame then made small, or restored wide into a small frame, it
// leaves the log its room and never lies over it.
TEST_F(ThievesPaneTest, ThePaneFitsBesideTheLogAtAnySize)
{
    Change(0, 1, false);
    Change(30000, 3, true);
    Change(30040, 1, true);
    Change(60000, 4, true);
    wxAuiManager& mgr = frame->GetDockManager();
    wxTextCtrl* log = frame->GetActivityLog();
    frame->SetSize(1270, 600);
    SendCommand(frame, ID_FOCUS_THIEVES);
    ASSERT_TRUE(PumpUntil([&] { return pane->IsShownOnScreen() && pane->GetTable()->GetItemCount() == 3; }));
    PumpEventsFor(300);
    const int client = frame->GetClientSize().x;
    EXPECT_GE(pane->GetSize().x, std::min(pane->WantedWidth(), client / 2) - 2) << client;
    EXPECT_GE(log->GetSize().x, client / 2 - 8);

    // As a sash dragged far left leaves it, then the frame made small.
    wxString wide = mgr.SavePerspective();
    wxRegEx("dock_size\\(2,0,0\\)=[0-9]+").Replace(&wide, L"dock_size(2,0,0)=1080");
    mgr.LoadPerspective(wide, true);
    PumpEventsFor(200);
    ASSERT_GT(pane->GetSize().x, 1000);
    const std::vector<wxColour> colours = Swatches(pane->GetTable());
    for (const int width : {600, 320})
    {
        frame->SetSize(width, 450);
        PumpUntil([&] { return frame->GetSize().x == width; });
        PumpEventsFor(400);
        const wxRect logRect = log->GetRect(), paneRect = pane->GetRect();
        EXPECT_FALSE(logRect.Intersects(paneRect)) << width;
        EXPECT_TRUE(wxRect(frame->GetClientSize()).Contains(paneRect)) << width;
        EXPECT_GE(log->GetSize().x, std::min(160, frame->GetClientSize().x / 2 - 12)) << width;
        EXPECT_GE(pane->GetSize().x, frame->GetClientSize().x / 2 - 8) << width;
        // On screen: none of the table's colours in the log's area, and the
        // table's own colours where the pane is.
        EXPECT_EQ(PixelsOf(log, colours), 0) << width;
        EXPECT_GT(PixelsOf(pane, colours), 0) << width;
    }

    // Saved wide and shown, restored into the small frame: shown, beside the log.
    frame->Quit(true);
    ASSERT_TRUE(PumpUntil([&] { return IsGone(frame); }));
    wxString saved = ReadDockLayout(DockLayoutPath());
    wxRegEx("dock_size\\(2,0,0\\)=[0-9]+").Replace(&saved, L"dock_size(2,0,0)=1000");
    WriteDockLayout(DockLayoutPath(), saved);
    frame = CreateMainFrame();
    ASSERT_TRUE(PumpUntil([&] { return frame->IsShownOnScreen(); }));
    PumpEventsFor(300);
    wxWindow* restored = frame->GetDockManager().GetPane(L"ThievesPane").window;
    EXPECT_TRUE(frame->GetMenuBar()->IsChecked(ID_FOCUS_THIEVES));
    EXPECT_TRUE(restored->IsShownOnScreen());
    EXPECT_FALSE(frame->GetActivityLog()->GetRect().Intersects(restored->GetRect()));
    EXPECT_GE(frame->GetActivityLog()->GetSize().x, std::min(160, frame->GetClientSize().x / 2 - 12));
}

// A layout saved before the pane existed still loads, and leaves the pane
// hidden where the frame docks it; the layout saved next keeps it.
// Counts what the docking manager draws of its own.
class CountingDockArt : public wxAuiDefaultDockArt
{
public:
    int* drawn;
    explicit CountingDockArt(int* counter) : drawn(counter) {}
    void DrawBorder(wxDC& dc, wxWindow* window, const wxRect& rect, wxAuiPaneInfo& pane) override
    {
        ++*drawn;
        wxAuiDefaultDockArt::DrawBorder(dc, window, rect, pane);
    }
};

TEST(ThievesPaneLayout, AnOlderLayoutLoadsAndTheNextOneKeepsThePane)
{
    ScopedSettings settings;
    ScopedSettingsFolder folder(settings);
    WriteDockLayout(
        DockLayoutPath(),
        L"layout2|name=TpplBarPane;caption=;state=10240;dir=1;layer=10;row=0;pos=0;prop=100000;"
        L"bestw=197;besth=42;minw=-1;minh=-1;maxw=-1;maxh=-1;floatx=-1;floaty=-1;floatw=-1;"
        L"floath=-1|name=ID_Note;caption=;state=1980;dir=5;layer=0;row=0;pos=0;prop=100000;"
        L"bestw=321;besth=39;minw=-1;minh=-1;maxw=-1;maxh=-1;floatx=-1;floaty=-1;floatw=-1;"
        L"floath=-1|dock_size(1,10,0)=42|dock_size(5,0,0)=105|");
    MainFrame* frame = CreateMainFrame();
    wxAuiManager& mgr = frame->GetDockManager();
    EXPECT_EQ(mgr.GetPane(L"ID_Note").best_size.x, 321);  // the saved layout, not the built one
    EXPECT_FALSE(mgr.GetPane(L"ThievesPane").IsShown());
    EXPECT_EQ(mgr.GetPane(L"ThievesPane").dock_direction, wxAUI_DOCK_RIGHT);
    EXPECT_FALSE(frame->GetMenuBar()->IsChecked(ID_FOCUS_THIEVES));
    SendCommand(frame, ID_FOCUS_THIEVES);
    EXPECT_TRUE(PumpUntil([&] {
        return mgr.GetPane(L"ThievesPane").window->IsShownOnScreen() &&
               frame->GetActivityLog()->GetSize().x > 0;
    }));
    // The dock's borders are drawn again where they show, not each time a
    // pane redraws itself; where a pane was hidden they show again.
    int borders = 0;
    mgr.SetArtProvider(new CountingDockArt(&borders));
    PumpUntil([] { return false; }, 200);
    borders = 0;
    frame->GetActivityLog()->Refresh();
    frame->GetActivityLog()->Update();
    mgr.GetPane(L"ThievesPane").window->Refresh();
    mgr.GetPane(L"ThievesPane").window->Update();
    EXPECT_EQ(borders, 0);
    frame->RefreshRect(wxRect(frame->GetClientSize()));
    frame->Update();
    EXPECT_GT(borders, 0);
    borders = 0;
    SendCommand(frame, ID_FOCUS_THIEVES);
    EXPECT_TRUE(PumpUntil([&] { return borders > 0; }));
    SendCommand(frame, ID_FOCUS_THIEVES);
    frame->Quit(true);
    ASSERT_TRUE(PumpUntil([&] { return IsGone(frame); }));

    const wxString saved = ReadDockLayout(DockLayoutPath());
    EXPECT_TRUE(saved.Contains(L"|name=ThievesPane;")) << saved;
    EXPECT_TRUE(IsUsableDockLayout(saved)) << saved;
    frame = CreateMainFrame();
    EXPECT_TRUE(frame->GetDockManager().GetPane(L"ThievesPane").IsShown());
    EXPECT_TRUE(frame->GetMenuBar()->IsChecked(ID_FOCUS_THIEVES));
    // Shown by the layout, the pane has made its table and picture too.
    wxWindow* pane = frame->GetDockManager().GetPane(L"ThievesPane").window;
    EXPECT_TRUE(PumpUntil([&] {
        return pane->GetChildren().size() >= 4 && pane->GetChildren().front()->IsShownOnScreen();
    }));
    frame->Quit(true);
    ASSERT_TRUE(PumpUntil([&] { return IsGone(frame); }));
}
