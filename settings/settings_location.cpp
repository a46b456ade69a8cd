#include "settings/settings_location.h"

#include <wx/file.h>
#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/log.h>
#include <wx/stdpaths.h>
#include <wx/utils.h>

#include "platform/folder_path.h"
#include "platform/user_folders.h"

namespace
{
wxString g_settingsDirectory;

// Asking for permission is not enough: access() answers from mode bits,
// which root passes everywhere (also in /proc, where nothing can be
// created), and knows nothing of a server's own rules on network shares or
// of ACLs on Windows.  So a file is created and removed again.
bool CanCreateFileIn(const wxString& directory)
{
    wxLogNull quiet;
    wxFile probe;
    const wxString name = wxFileName::CreateTempFileName(directory + L"Corvalin-probe-", &probe);
    if (name.empty())
        return false;
    probe.Close();
    wxRemoveFile(name);
    return true;
}
}  // namespace

wxString ProgramDirectory()
{
    return wxPathOnly(wxStandardPaths::Get().GetExecutablePath()) + wxFileName::GetPathSeparator();
}

const wxString& SettingsDirectory()
{
    if (g_settingsDirectory.empty())
        g_settingsDirectory = ProgramDirectory();
    return g_settingsDirectory;
}

void SetSettingsDirectory(const wxString& directory)
{
    g_settingsDirectory = directory;
}

wxString ChooseSettingsDirectory(const wxString& programDirectory, bool portable,
                                 const wxString& configHome)
{
    const wxString program = WithSeparator(programDirectory);
    if (portable || CanCreateFileIn(program))
        return program;
    // A relative folder would depend on where the program was started from.
    if (configHome.empty() || !wxFileName(WithSeparator(configHome)).IsAbsolute())
        return program;
    const wxString own = WithSeparator(configHome) + L"Corvalin" + wxFileName::GetPathSeparator();
    wxLogNull quiet;
    if (wxDirExists(own) || wxFileName::Mkdir(own, 0700, wxPATH_MKDIR_FULL))
        return own;
    return program;
}

wxString ConfigHome()
{
    wxString configured;
    if (wxGetEnv(L"XDG_CONFIG_HOME", &configured) && !configured.empty() &&
        wxFileName(WithSeparator(configured)).IsAbsolute())
        return configured;
    return DefaultConfigHome();
}
