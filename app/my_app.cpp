#include "app/my_app.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include <wx/config.h>
#include <wx/fileconf.h>
#include <wx/filename.h>
#include <wx/log.h>
#include <wx/msgdlg.h>
#include <wx/msgout.h>
#include <wx/utils.h>

#include "app/end_session.h"
#include "desktop/single_instance.h"
#include "frame/ids.h"
#include "frame/main_frame.h"
#include "monitor/activity_record.h"
#include "monitor/holds_report.h"
#include "platform/single_instance.h"
#include "platform/window_tracking.h"
#include "settings/options.h"
#include "settings/settings_file_config.h"
#include "settings/settings_location.h"
#include "settings/settings_save.h"
#include "settings/settings_store.h"
#include "settings/stored_names.h"

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
    {wxCMD_LINE_SWITCH, nullptr, "version", "Print the version and exit", wxCMD_LINE_VAL_NONE, 0},
    {wxCMD_LINE_SWITCH, "r", "record-now",
     "Have the running Corvalin log the foreground window now, as its hot key does",
     wxCMD_LINE_VAL_NONE, 0},
    {wxCMD_LINE_SWITCH, nullptr, "report",
     "--report FILE... [--since WHEN] [--until WHEN] [--brief MS] [--by WHAT] [--csv]: print, "
     "per program, how often it took the focus from record files; --by launcher, unit or "
     "module groups otherwise (takes without one under \"(none)\")",
     wxCMD_LINE_VAL_NONE, 0},
    {wxCMD_LINE_NONE, nullptr, nullptr, nullptr, wxCMD_LINE_VAL_NONE, 0},
};

// The report's arguments (everything but --report itself and the portable
// switch), when asked for one.
bool ReportArguments(int argc, wxChar** argv, std::vector<wxString>& args, bool& portable)
{
    bool report = false;
    for (int i = 1; i < argc; ++i)
    {
        const wxString arg(argv[i]);
        if (arg == L"--report")
            report = true;
        else if (arg == L"-p" || arg == L"--portable")
            portable = true;
        else
            args.emplace_back(arg);
    }
    return report;
}

// The record file the settings name, found as the program would find them;
// empty when none is set.
wxString ConfiguredRecordFile(bool portable)
{
    const wxString directory = ChooseSettingsDirectory(ProgramDirectory(), portable, ConfigHome());
    wxLogNull quiet;
    std::unique_ptr<wxFileConfig> settings(OpenSettingsFile(directory + kSettingsFileName));
    return ResolveRecordPath(settings->Read(kOptionRecordFile, wxString()), directory);
}

// Takes what a parse would say and drops it.
class DiscardedOutput : public wxMessageOutput
{
public:
    void Output(const wxString&) override {}
};

void PrintVersion()
{
    wxMessageOutput::Get()->Output(wxString(L"Corvalin ") + CORVALIN_VERSION);
}

// Failed toolkit assertions go to the error stream instead of a modal dialog
// that would stop the monitor until someone answers it.
void LogAssertFailure(const wxString& file, int line, const wxString& func,
                      const wxString& cond, const wxString& msg)
{
    std::fprintf(stderr, "Corvalin: assertion \"%s\" failed in %s (%s:%d): %s\n",
                 static_cast<const char*>(cond.utf8_str()),
                 static_cast<const char*>(func.utf8_str()),
                 static_cast<const char*>(file.utf8_str()), line,
                 static_cast<const char*>(msg.utf8_str()));
}
}  // namespace

MyApp::~MyApp()
{
    m_server.reset();
    m_checker.reset();
}

bool MyApp::Initialize(int& argc, wxChar** argv)
{
    // The report reads files and nothing else: no display, no instance.  The
    // process ends here, since the toolkit's entry has no way to end with
    // the report's status.
    std::vector<wxString> reportArgs;
    bool portable = false;
    if (ReportArguments(argc, argv, reportArgs, portable))
        std::exit(RunReport(reportArgs, stdout, stderr, [portable] { return ConfiguredRecordFile(portable); }));

    // The usage and the version need no display, so they are answered before
    // the toolkit opens one.  A command line that does not parse here may
    // still hold the toolkit's own options: it is parsed again, and any error
    // reported, once the toolkit has taken those out.
    wxCmdLineParser parser(argc, argv);
    OnInitCmdLine(parser);
    DiscardedOutput discarded;
    wxMessageOutput* const output = wxMessageOutput::Set(&discarded);
    const int parsed = parser.Parse(false);
    wxMessageOutput::Set(output);
    if (parsed == -1)
    {
        parser.Usage();
        return false;
    }
    if (parsed == 0 && parser.Found(L"version"))
    {
        PrintVersion();
        return false;
    }

    // Before the toolkit opens its display.
    PrepareDisplay();
    return wxApp::Initialize(argc, argv);
}

bool MyApp::OnInit()
{
    wxSetAssertHandler(&LogAssertFailure);
    // No window here handles idle or update-UI events: sending them to every
    // window 20 times a second, after each tick, would be work for nothing.
    wxIdleEvent::SetMode(wxIDLE_PROCESS_SPECIFIED);
    wxUpdateUIEvent::SetMode(wxUPDATE_UI_PROCESS_SPECIFIED);
    if (!wxApp::OnInit())
        return false;
    if (m_recordNow)
    {
        if (RequestRecordNow())
            return false;
        m_exitStatus = 1;
        return true;
    }
    if (!CheckSingleInstance(kShowOrHideMessage))
        return false;
    InitConfig();
    m_frame = new MainFrame(nullptr, ID_MAIN_FRAME, L"Corvalin : Keep Watch!", wxDefaultPosition,
                            wxSize(600, 450), wxDEFAULT_FRAME_STYLE | wxWANTS_CHARS);
    SetTopWindow(m_frame);
    InstallEndSession();
    return true;
}

void MyApp::OnInitCmdLine(wxCmdLineParser& parser)
{
    parser.SetDesc(kCommandLine);
    parser.SetSwitchChars(L"-");
}

int MyApp::OnRun()
{
    if (m_exitStatus)
        return *m_exitStatus;
    return wxApp::OnRun();
}

bool MyApp::OnCmdLineParsed(wxCmdLineParser& parser)
{
    if (parser.Found(L"version"))
    {
        PrintVersion();
        return false;
    }
    m_portable = parser.Found(L"p");
    m_recordNow = parser.Found(L"r");
    return true;
}

namespace
{
// One instance per user and executable name.
IpcEndpoint InstanceEndpoint(const wxString& appName)
{
    const wxString instanceName = wxString::Format(L"%s_%s", appName, wxGetUserId());
    return MapIpcEndpoint(instanceName, instanceName + L"_server");
}
}  // namespace

bool MyApp::CheckSingleInstance(const wxString& message)
{
    const IpcEndpoint endpoint = InstanceEndpoint(GetAppName());

    m_checker.reset(new InstanceChecker);
    const bool lockable = m_checker->Create(endpoint.lockName, endpoint.lockDirectory);
    const bool ours = lockable && !m_checker->IsAnotherRunning();
    // A running instance that answers is handed over to, whatever became of
    // its lock file meanwhile (deleted, replaced, made unreadable); one that
    // is there but refuses is no reason to run twice either.
    bool running = !ours;
    if ((!ours || endpoint.lockMayBeLost) && HandOver(endpoint.service, message, running))
        return false;
    if (!running)
    {
        // Only now: creating the server replaces any socket at that path,
        // which would cut off a running first instance.
        m_server.reset(new stServer);
        if (!endpoint.service.empty() && !m_server->Create(endpoint.service))
            CallAfter([] {
                wxLogWarning(_("A second start of Corvalin cannot reach this one: its link "
                               "could not be set up."));
            });
        return true;
    }

    wxString text;
    if (!lockable)
        text = wxString::Format(_("Corvalin cannot make sure that it runs only once: its instance "
                                  "lock %s.\nNo other Corvalin answers, so this one stops."),
                                m_checker->Problem());
    else if (endpoint.service.empty())
        text = wxString::Format(_("Corvalin is already running, but it cannot be reached: %s."),
                                endpoint.problem);
    else
        text = L"Sorry, the existing instance may be too busy too respond.\n"
               L"Please close any open dialogs and retry.";
    std::fprintf(stderr, "Corvalin: %s\n", static_cast<const char*>(text.utf8_str()));
    wxMessageBox(text, L"Message", wxOK | wxCENTRE);
    return false;
}

bool MyApp::HandOver(const wxString& service, const wxString& message, bool& running)
{
    if (service.empty())
        return false;
    wxLogNull noLog;
    if (message != kRecordNowMessage)
        AllowOtherInstanceForeground();
    stClient client;
    std::unique_ptr<IpcConnection> connection(
        client.MakeConnection(L"localhost", service, GetAppName()));
    running = running || client.PeerAnswered();
    if (!connection)
        return false;
    connection->Execute(message);
    connection->Disconnect();
    return true;
}

bool MyApp::RequestRecordNow()
{
    // The lock is left alone: this start never becomes the instance, and
    // holding the lock even briefly could turn a real first start away.
    const IpcEndpoint endpoint = InstanceEndpoint(GetAppName());
    bool running = false;
    if (HandOver(endpoint.service, kRecordNowMessage, running))
        return true;
    wxString text;
    if (endpoint.service.empty())
        text = wxString::Format(_("Corvalin cannot be reached: %s."), endpoint.problem);
    else if (running)
        text = _("Corvalin is running but did not take the request; close any open dialogs "
                 "and retry.");
    else
        text = _("No Corvalin is running: nothing was logged.");
    // No box: a window of ours would take the focus that is to be logged.
    std::fprintf(stderr, "Corvalin: %s\n", static_cast<const char*>(text.utf8_str()));
    return false;
}

wxConfigBase* MyApp::InitConfig()
{
    SetAppName(L"Corvalin");
    SetVendorName(L"Pellowen");
    const wxString programDirectory = ProgramDirectory();
    if (!m_portable)
        wxFileName::Mkdir(programDirectory, 0777, wxPATH_MKDIR_FULL);
    // An installed copy cannot write beside itself: its files then live in
    // the user's configuration folder.  Decided once, before the store opens.
    const wxString dataDirectory = ChooseSettingsDirectory(programDirectory, m_portable, ConfigHome());
    SetSettingsDirectory(dataDirectory);
    wxString problem;
    wxConfigBase* previous =
        wxConfigBase::Set(OpenSettingsStore(dataDirectory + kSettingsFileName, &problem));
    // One message for a damaged file, instead of one per bad line; shown
    // once the loop runs, so that it does not hold up the frame.
    if (!problem.empty())
        CallAfter([problem] { wxLogWarning(L"%s", problem); });
    // Options appended after another section are easily written and never
    // read: said once, where a user editing the file looks.
    const wxString misplaced = MisplacedOptions(*wxConfigBase::Get());
    if (!misplaced.empty())
        std::fprintf(stderr, "%s: these options are not read, since options go under [Options]:\n%s\n",
                     static_cast<const char*>(wxString(kSettingsFileName).utf8_str()),
                     static_cast<const char*>(misplaced.utf8_str()));
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
