#include "app/my_app.h"

#include <cstdio>

#include <wx/config.h>
#include <wx/filename.h>
#include <wx/log.h>
#include <wx/stdpaths.h>

#include "app/assert_handler.h"
#include "app/end_session.h"
#include "desktop/single_instance.h"
#include "frame/ids.h"
#include "frame/main_frame.h"
#include "settings/program_directory.h"
#include "settings/settings_file.h"

wxBEGIN_EVENT_TABLE(MyApp, wxApp)
    EVT_QUERY_END_SESSION(MyApp::OnQueryEndSession)
wxEND_EVENT_TABLE()

namespace
{
const wxCmdLineEntryDesc kCommandLine[] = {
    {wxCMD_LINE_SWITCH, "h", "help", "Show this message", wxCMD_LINE_VAL_NONE,
     wxCMD_LINE_OPTION_HELP},
    {wxCMD_LINE_SWITCH, "p", "portable",
     "Portable mode: Use data are located in current folder (jotbook2.db, quillmark3.cfg, "
     "snippets.cfg etc)",
     wxCMD_LINE_VAL_STRING, 0},
    {wxCMD_LINE_NONE, nullptr, nullptr, nullptr, wxCMD_LINE_VAL_NONE, 0},
};
}  // namespace

MyApp::~MyApp()
{
    m_server.reset();
    m_checker.reset();
}

bool MyApp::OnInit()
{
    InstallAssertHandler();
    if (!wxApp::OnInit())
        return false;
    if (!CheckSingleInstance(wxString(wxEmptyString)))
        return false;
    InitConfig();
    m_frame = new MainFrame(nullptr, ID_MAIN_FRAME, L"Corvalin : Keep Watch!", wxDefaultPosition,
                            wxSize(600, 450), wxDEFAULT_FRAME_STYLE | wxWANTS_CHARS);
    SetTopWindow(m_frame);
    InstallEndSessionHandlers();
    return true;
}

void MyApp::OnInitCmdLine(wxCmdLineParser& parser)
{
    parser.SetDesc(kCommandLine);
    parser.SetSwitchChars(L"-");
}

bool MyApp::OnCmdLineParsed(wxCmdLineParser& parser)
{
    m_portable = parser.Found(L"p");
    return true;
}

wxConfigBase* MyApp::InitConfig()
{
    SetAppName(L"Corvalin");
    SetVendorName(L"Pellowen");
    const wxString programDirectory = ProgramDirectory();
    const wxString dataDirectory = programDirectory;
    if (!m_portable)
        wxFileName::Mkdir(dataDirectory, 0777, wxPATH_MKDIR_FULL);
    wxString problem;
    wxConfigBase* previous =
        wxConfigBase::Set(OpenSettingsStore(dataDirectory + L"Corvalin.cfg", problem));
    // One message for a damaged file, instead of one per bad line; shown
    // once the loop runs, so that it does not hold up the frame.
    if (!problem.empty())
        CallAfter([problem] { wxLogWarning(L"%s", problem); });
    return previous;
}

MainFrame* MyApp::GetLiveFrame() const
{
    // The toolkit owns the frame; once it is being destroyed it leaves the
    // list of top-level windows or is marked, and must not be touched.
    if (!m_frame || !wxTopLevelWindows.Find(m_frame) || m_frame->IsBeingDeleted())
        return nullptr;
    return m_frame;
}

void MyApp::OnQueryEndSession(wxCloseEvent&)
{
    MarkSessionEnding();
    if (MainFrame* frame = GetLiveFrame())
    {
        frame->SaveAll();
        frame->Quit(true);
    }
}

int MyApp::OnExit()
{
    CloseSettings(wxConfigBase::Set(nullptr));
    // Every save of the run has been tried by now: a settings folder that
    // cannot be written is reported once, not once per file and attempt.
    const wxString failure = TakeSaveFailure();
    if (!failure.empty())
    {
        const wxString text = wxString::Format(_("The settings could not be saved: %s"), failure);
        if (IsSessionEnding())
        {
            std::fprintf(stderr, "Corvalin: %s\n", static_cast<const char*>(text.utf8_str()));
        }
        else
        {
            wxLogError(L"%s", text);
            wxLog::FlushActive();
        }
    }
    return wxApp::OnExit();
}

MyApp& wxGetApp()
{
    return *static_cast<MyApp*>(wxApp::GetInstance());
}
