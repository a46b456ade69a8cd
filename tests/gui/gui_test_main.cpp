// Runs GoogleTest inside a real toolkit application on the X display of the
// test session.  Failed toolkit assertions fail the test instead of opening
// a dialog.
#include <cstdlib>

#include <gtest/gtest.h>
#include <wx/config.h>
#include <wx/evtloop.h>
#include <wx/filename.h>
#include <wx/init.h>
#include <wx/log.h>

#include "app/my_app.h"
#include "frame/ids.h"
#include "frame/main_frame.h"
#include "gui_test_environment.h"

namespace
{
void FailOnAssert(const wxString& file, int line, const wxString& func, const wxString& cond,
                  const wxString& msg)
{
    ADD_FAILURE_AT(file.utf8_str().data(), line)
        << "toolkit assertion " << cond.utf8_str().data() << " in " << func.utf8_str().data()
        << ": " << msg.utf8_str().data();
}
}  // namespace

bool PumpEventsFor(int milliseconds)
{
    wxStopWatch watch;
    return !PumpUntil([&] { return watch.Time() >= milliseconds; }, milliseconds + 1000);
}

ScopedSettings::ScopedSettings(const wxString& content)
{
    m_dir = wxFileName::CreateTempFileName(L"/tmp/corvalin-gui");
    wxRemoveFile(m_dir);
    wxFileName::Mkdir(m_dir, 0700);
    m_path = m_dir + L"/Corvalin.cfg";
    if (!content.empty())
    {
        wxFile file(m_path, wxFile::write);
        file.Write(content);
    }
    m_config = new wxFileConfig(L"Corvalin", L"Pellowen", m_path, wxString(),
                                wxCONFIG_USE_LOCAL_FILE | wxCONFIG_USE_GLOBAL_FILE);
    delete wxConfigBase::Set(m_config);
}

ScopedSettings::~ScopedSettings()
{
    delete wxConfigBase::Set(nullptr);
    wxFileName::Rmdir(m_dir, wxPATH_RMDIR_RECURSIVE);
}

MainFrame* CreateMainFrame(std::unique_ptr<WindowPlatform> platform)
{
    MainFrame* frame = new MainFrame(nullptr, ID_MAIN_FRAME, L"Corvalin : Keep Watch!",
                                     wxDefaultPosition, wxSize(600, 450),
                                     wxDEFAULT_FRAME_STYLE | wxWANTS_CHARS, std::move(platform));
    wxGetApp().m_frame = frame;
    wxGetApp().SetTopWindow(frame);
    return frame;
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (!std::getenv("DISPLAY"))
    {
        std::fprintf(stderr, "GUI tests need an X display; run them under tests/x_session.sh\n");
        return 1;
    }
    // GTK's file chooser keeps its settings through dconf, which has no
    // session bus here and would complain on every change.
    setenv("GSETTINGS_BACKEND", "memory", 0);
    wxApp::SetInstance(new MyApp);
    if (!wxEntryStart(argc, argv))
        return 1;
    wxTheApp->SetAppName(L"Corvalin");
    wxTheApp->SetVendorName(L"Pellowen");
    wxSetAssertHandler(&FailOnAssert);
    // Errors go to stderr, not to message boxes that nobody answers.
    delete wxLog::SetActiveTarget(new wxLogStderr);
    // An event loop must be active for modal dialogs and timers.
    wxEventLoop loop;
    wxEventLoopActivator activate(&loop);
    const int result = RUN_ALL_TESTS();
    wxEntryCleanup();
    return result;
}
