// Start at login on Linux desktops: an XDG autostart entry, named as the
// installed desktop file, so that the session manager shows it as this
// program.
#include "platform/linux/start_at_login.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <glib.h>
#include <wx/filename.h>
#include <wx/intl.h>
#include <wx/stdpaths.h>
#include <wx/textfile.h>
#include <wx/utils.h>

#include "platform/start_at_login.h"
#include "platform/file_writes.h"

namespace
{
constexpr char kEntryName[] = "example.pellowen.Corvalin.desktop";
constexpr char kEntryTemplate[] = "[Desktop Entry]\n"
                                  "Type=Application\n"
                                  "Name=Corvalin\n"
                                  "Comment=Logs which window has the keyboard focus\n"
                                  "Icon=example.pellowen.Corvalin\n"
                                  "Exec=\n"
                                  "Terminal=false\n"
                                  "X-GNOME-Autostart-enabled=true\n";

wxString EntryPath()
{
    wxString folder;
    if (!wxGetEnv(L"XDG_CONFIG_HOME", &folder) || !wxIsAbsolutePath(folder))
        folder = wxGetHomeDir() + L"/.config";
    return folder + L"/autostart/" + kEntryName;
}

// The path for a message: bytes that are not text, and characters that
// would break the message's line, shown as U+FFFD.
wxString ShownPath(const std::string& path)
{
    g_autofree gchar* valid = g_utf8_make_valid(path.data(), path.size());
    wxString shown = wxString::FromUTF8(valid);
    for (wxString::iterator it = shown.begin(); it != shown.end(); ++it)
        if (g_unichar_iscntrl((*it).GetValue()))
            *it = L'\uFFFD';
    return shown;
}
}  // namespace

bool AutostartEntry(const std::string& path, std::string& entry, wxString& problem)
{
    // Desktop entries are UTF-8 and their values hold no control characters;
    // the launcher would cut the line or refuse the file.
    if (!g_utf8_validate(path.data(), path.size(), nullptr))
    {
        problem = wxString::Format(_("The program's path \"%s\" is not UTF-8 text, and a login "
                                     "entry can only name a path that is. Move the program to a "
                                     "folder with a plain name and try again."),
                                   ShownPath(path));
        return false;
    }
    for (const gchar* c = path.c_str(); *c; c = g_utf8_next_char(c))
        if (g_unichar_iscntrl(g_utf8_get_char(c)))
        {
            problem = wxString::Format(_("The program's path \"%s\" holds a line break or another "
                                         "control character, which a login entry cannot hold. Move "
                                         "the program to a folder without one and try again."),
                                       ShownPath(path));
            return false;
        }

    // Inside the quotes these four are special to the launcher's parsing;
    // % starts a field code.
    std::string exec = "\"";
    for (char c : path)
    {
        if (c == '"' || c == '`' || c == '$' || c == '\\')
            exec += '\\';
        exec += c;
        if (c == '%')
            exec += '%';
    }
    exec += '"';
    // GLib looks the program up before it expands the field codes, so it
    // finds no program whose path holds %% and refuses the entry; env it
    // finds, and env gets the path expanded.
    if (path.find('%') != std::string::npos)
        exec = "env " + exec;

    // The key file adds the string escapes (a backslash doubled) of every
    // value.
    g_autoptr(GKeyFile) file = g_key_file_new();
    g_key_file_load_from_data(file, kEntryTemplate, -1, G_KEY_FILE_NONE, nullptr);
    g_key_file_set_string(file, G_KEY_FILE_DESKTOP_GROUP, G_KEY_FILE_DESKTOP_KEY_EXEC,
                          exec.c_str());
    gsize size = 0;
    g_autofree gchar* data = g_key_file_to_data(file, &size, nullptr);
    entry.assign(data, size);
    return true;
}

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
    // The path as the file system has it: the toolkit's own converts
    // through the locale and loses a name that is not text.
    g_autofree gchar* executable = g_file_read_link("/proc/self/exe", nullptr);
    std::string entry;
    if (!AutostartEntry(executable ? std::string(executable)
                                   : wxStandardPaths::Get().GetExecutablePath().utf8_string(),
                        entry, problem))
        return false;
    if (!wxFileName::Mkdir(wxPathOnly(path), 0700, wxPATH_MKDIR_FULL))
    {
        problem = wxString::Format(L"%s: cannot make the folder", wxPathOnly(path));
        return false;
    }
    wxString reason;
    if (!ReplaceFileContents(path, entry.data(), entry.size(), reason))
    {
        problem = path + L": " + reason;
        return false;
    }
    return true;
}
