#pragma once

#include <optional>

#include <boost/shared_ptr.hpp>
#include <wx/app.h>
#include <wx/cmdline.h>

#include "platform/instance_link.h"

class MainFrame;
class stServer;
class wxConfigBase;

class MyApp : public wxApp
{
public:
    MyApp() = default;
    ~MyApp() override;

    bool Initialize(int& argc, wxChar** argv) override;
    bool OnInit() override;
    // The status set by a start that has nothing to run, else the main loop.
    int OnRun() override;
    int OnExit() override;
    void OnInitCmdLine(wxCmdLineParser& parser) override;
    bool OnCmdLineParsed(wxCmdLineParser& parser) override;

    // True when this is the only instance; otherwise the running one has
    // been handed the message and start-up must stop.
    bool CheckSingleInstance(const wxString& message);
    // Gives the message to a running instance that answers at service;
    // running is also set when one is there but refused it.  Only a message
    // that may show the frame lets that instance take the foreground.
    bool HandOver(const wxString& service, const wxString& message, bool& running);
    // --record-now: asks a running instance to log the foreground window and
    // never starts one.  False, having said why on stderr, when no instance
    // took the request.
    bool RequestRecordNow();
    wxConfigBase* InitConfig();
    void OnQueryEndSession(wxCloseEvent& event);

    // The frame, or null once it is gone or going.
    MainFrame* GetLiveFrame() const;

    MainFrame* m_frame = nullptr;
    bool m_portable = false;
    bool m_recordNow = false;
    // Set when start-up ends without a main loop: OnInit has to succeed for
    // any status but the toolkit's 255.
    std::optional<int> m_exitStatus;
    boost::shared_ptr<InstanceChecker> m_checker;
    boost::shared_ptr<stServer> m_server;

private:
    wxDECLARE_EVENT_TABLE();
};

wxDECLARE_APP(MyApp);
