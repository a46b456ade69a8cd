#pragma once

#include <memory>

#include <wx/fileconf.h>
#include <wx/string.h>

class MainFrame;
class WindowPlatform;

// Runs the toolkit's event loop until the condition holds or the time is up.
// Returns whether the condition held.
template <typename Condition>
bool PumpUntil(Condition condition, int timeoutMs = 3000);
bool PumpEventsFor(int milliseconds);

// A settings store on a fresh temporary file, installed as the global one.
class ScopedSettings
{
public:
    explicit ScopedSettings(const wxString& content = wxString());
    ~ScopedSettings();
    wxFileConfig& Config() { return *m_config; }
    wxString Path() const { return m_path; }

private:
    wxString m_dir;
    wxString m_path;
    wxFileConfig* m_config;
};

// The main frame as the application creates it, with the application's
// pointer to it set; on a desktop of the test's own where one is given.
MainFrame* CreateMainFrame(std::unique_ptr<WindowPlatform> platform = nullptr);

#include "gui_test_environment_impl.h"
