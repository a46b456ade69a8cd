#pragma once

// The hot key under KDE Plasma: a global shortcut registered by a second
// small script of ours.  KWin owns KGlobalAccel, so nothing else needs to
// run; the script calls us on each press, as the reporter does.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>

#include <wx/string.h>

class DbusInbox;

// What both of our KWin scripts share.
namespace kwin
{
constexpr char kService[] = "org.kde.KWin";
// The interface our scripts call us on.
constexpr char kReportInterface[] = "example.pellowen.Corvalin.KWinReports";
// Our own calls to KWin: it answers in milliseconds or is stuck.
constexpr int kCallTimeoutMs = 2000;
// How long the run of our script by its number may take to show.
constexpr int kRunByIdMs = 500;

// A script's text with a placeholder ("@PATH@") filled in.
inline void ReplaceAll(std::string& text, const std::string& what, const std::string& with)
{
    for (std::size_t at = text.find(what); at != std::string::npos;
         at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
}

// Names of our scripts and object paths differ between runs and programs.
inline std::string RandomToken()
{
    std::random_device device;
    std::uniform_int_distribution<unsigned long long> pick;
    char token[17];
    std::snprintf(token, sizeof token, "%016llx", pick(device));
    return token;
}

// Whole decimal numbers only: anything else reads as 0 (unknown).
inline unsigned long long ParseNumber(const char* text)
{
    if (!text || !*text || *text < '0' || *text > '9')
        return 0;
    errno = 0;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text, &end, 10);
    return (errno || *end) ? 0 : value;
}

// Loading a script into KWin, which the reporter's platform does for both.
class ScriptLoader
{
public:
    // Writes the script to a file of ours alone and has KWin load it under
    // that name; its id, or -1.  The file stays until RemoveScriptFile.
    virtual int LoadScript(const std::string& text, const std::string& name) = 0;
    virtual bool RunScript(int id) = 0;
    virtual void RemoveScriptFile() = 0;
    virtual void Unload(const std::string& name) = 0;

protected:
    ~ScriptLoader() = default;
};
}  // namespace kwin

class KwinHotKey
{
public:
    explicit KwinHotKey(kwin::ScriptLoader& loader) : m_loader(loader) {}
    KwinHotKey(const KwinHotKey&) = delete;
    KwinHotKey& operator=(const KwinHotKey&) = delete;

    // As ReportedWindowsPlatform::BindHotKey; the script calls objectPath on
    // the inbox's connection.
    bool Bind(DbusInbox& inbox, const std::string& objectPath, int modifiers, int keyCode,
              std::function<void()> pressed, wxString& problem);
    // inbox may be gone (nullptr or closed): then only our side forgets.
    void Unbind(DbusInbox* inbox);
    // A call of the hot key's script; false when the member is not one.
    bool Handle(const char* member);

    // Whether a loaded script of that name is a hot key's (then its
    // shortcut must go too), and the taking out of that shortcut.
    static bool IsHotKeyScript(const std::string& name);
    static void Unregister(DbusInbox& inbox, const std::string& name);

private:
    void ForgetStaleShortcuts(DbusInbox& inbox);

    kwin::ScriptLoader& m_loader;
    // The script and shortcut, while bound.
    std::string m_name;
    std::function<void()> m_pressed;
    bool m_ready = false;
};
