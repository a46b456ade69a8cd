// Start at login on Linux desktops: an XDG autostart entry, named as the
// installed desktop file, so that the session manager shows it as this
// program.
#include "platform/desktop.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <wx/filename.h>
#include <wx/stdpaths.h>
#include <wx/textfile.h>
#include <wx/utils.h>

#include "platform/file_writes.h"

namespace
{
constexpr char kEntryName[] = "example.pellowen.Corvalin.desktop";

wxString EntryPath()
{
    wxString folder;
    if (!wxGetEnv(L"XDG_CONFIG_HOME", &folder) || !wxIsAbsolutePath(folder))
        folder = wxGetHomeDir() + L"/.config";
    return folder + L"/autostart/" + kEntryName;
}

// A desktop entry's Exec value: quoted, with the characters that are
// special inside quotes escaped, and % doubled.
wxString QuotedExec(const wxString& path)
{
    wxString quoted = L"\"";
    for (wxUniChar c : path)
    {
        if (c == L'"' || c == L'`' || c == L'$' || c == L'\\')
            quoted += L"\\\\";  // the entry's own escape, then the quoting's
        if (c == L'%')
            quoted += L'%';
        quoted += c;
    }
    return quoted + L"\"";
}
}  // namespace

bool StartsAtLogin()
{
    const wxString path = EntryPath();
    wxTextFile entry(path);
    if (!wxFileName::FileExists(path) || !entry.Open(wxConvUTF8))
        return false;
    // An entry the user switched off in the session settings stays there,
    // hidden.
    for (size_t i = 0; i < entry.GetLineCount(); ++i)
        if (entry[i].Strip(wxString::both) == L"Hidden=true")
            return false;
    return true;
}

bool SetStartAtLogin(bool start, wxString& problem)
{
    const wxString path = EntryPath();
    if (!start)
    {
        if (std::remove(path.fn_str()) != 0 && errno != ENOENT)
        {
            problem = wxString::Format(L"%s: %s", path, wxString(std::strerror(errno)));
            return false;
        }
        return true;
    }
    if (!wxFileName::Mkdir(wxPathOnly(path), 0700, wxPATH_MKDIR_FULL))
    {
        problem = wxString::Format(L"%s: cannot make the folder", wxPathOnly(path));
        return false;
    }
    const wxString text = wxString(L"[Desktop Entry]\n"
                                   L"Type=Application\n"
                                   L"Name=Corvalin\n"
                                   L"Comment=Logs which window has the keyboard focus\n"
                                   L"Icon=example.pellowen.Corvalin\n"
                                   L"Exec=") +
                          QuotedExec(wxStandardPaths::Get().GetExecutablePath()) +
                          L"\n"
                          L"Terminal=false\n"
                          L"X-GNOME-Autostart-enabled=true\n";
    const wxScopedCharBuffer bytes = text.utf8_str();
    wxString reason;
    if (!ReplaceFileContents(path, bytes.data(), bytes.length(), reason))
    {
        problem = path + L": " + reason;
        return false;
    }
    return true;
}
