// Start at login on Windows: a value under the user's Run key.
#include "platform/start_at_login.h"

#include <wx/log.h>
#include <wx/msw/registry.h>
#include <wx/stdpaths.h>

namespace
{
// Where Windows looks for what to start at this user's login.
const wchar_t kRunKey[] = L"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const wchar_t kRunValue[] = L"Corvalin";
}  // namespace

bool StartsAtLogin()
{
    wxLogNull quiet;  // a missing key is an answer, not an error
    wxRegKey run(kRunKey);
    return run.Exists() && run.HasValue(kRunValue);
}

bool SetStartAtLogin(bool start, wxString& problem)
{
    wxLogNull quiet;
    wxRegKey run(kRunKey);
    if (!start)
    {
        if (!run.Exists() || !run.HasValue(kRunValue) || run.DeleteValue(kRunValue))
            return true;
    }
    else if (run.Create() &&
             run.SetValue(kRunValue, L"\"" + wxStandardPaths::Get().GetExecutablePath() + L"\""))
        return true;
    problem = wxString(kRunKey) + L"\\" + kRunValue + L": " + wxSysErrorMsgStr();
    return false;
}
