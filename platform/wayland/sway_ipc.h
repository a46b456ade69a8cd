#pragma once

// sway's own IPC, for the one thing the wlroots protocol does not say: the
// process behind a window.  A connection of its own, subscribed to sway's
// window events and read from the main loop whenever they arrive: nothing
// here ever waits for sway.

#include <functional>
#include <map>
#include <memory>
#include <string>

#include <wx/string.h>

class SwayIpc
{
public:
    // Called from the main loop after news about windows was read.
    explicit SwayIpc(std::function<void()> onNews);
    ~SwayIpc();
    SwayIpc(const SwayIpc&) = delete;
    SwayIpc& operator=(const SwayIpc&) = delete;

    // Connects to $SWAYSOCK; false outside sway.  A connection that breaks
    // later is made again by itself.
    bool Start();
    bool IsConnected() const { return m_fd >= 0; }
    // Reads what sway has sent so far, without waiting.
    void ReadNow();
    // Told, after the news is read, of each window sway marks urgent: its
    // app id (or X11 class) and title.
    void OnUrgent(std::function<void(const wxString& appId, const wxString& title)> urgent)
    {
        m_onUrgent = std::move(urgent);
    }
    // The process of the window sway knows by this app id (or X11 class) and
    // title, the one focused last where several match; 0 when none does.
    unsigned long PidFor(const wxString& appId, const wxString& title) const;

    // The key combination, in sway's notation ("Ctrl+Shift+p"), bound to
    // tell us when pressed, whatever window has the focus; bound again after
    // sway reloads its config (which drops it).  Left alone, false and said
    // in problem, when the user's config binds it already: a run-time bind
    // would silently replace the user's, and unbinding it would take both.
    bool BindKey(const std::string& combo, std::function<void()> pressed, std::string& problem);
    // Gives the key back to the focused window.
    void UnbindKey();
    // The sway that had the binding is gone: nothing to give back (and a new
    // sway on the same socket must not lose a binding of the user's).
    void ForgetBinding()
    {
        DropClaim();
        m_boundCombo.clear();
    }
    // Whether sway's config binds the combination (in any mode), with its
    // variables ($mod) replaced; modifier names in any of sway's spellings.
    static bool ConfigBinds(const std::string& config, const std::string& combo);
    // The config's text followed by that of every file it includes, read
    // from the files (at most a few levels deep): sway's GET_CONFIG gives the
    // main file only, unless its reply has them as "included_configs".
    // Relative names are taken from the folder of the file that names them;
    // ~, $VARIABLES and wildcards as sway expands them.
    static std::string WithIncludedFiles(const std::string& config, const std::string& folder,
                                         int depth = 0);

    // One message of sway's, as read: for the tests of the parser.  Returns
    // false for a payload that is no JSON object even after its invalid
    // UTF-8 was replaced.
    bool TakeMessage(unsigned type, const std::string& payload);

private:
    struct Window
    {
        unsigned long pid = 0;
        wxString appId;
        wxString title;
        unsigned long long focused = 0;  // when it last had the focus, as a count
    };
    class Reader;
    class Retry;
    bool Connect();
    void Close();
    void Broken();
    bool Send(unsigned type, const std::string& payload);
    // A request on a connection of its own, waited for at most timeoutMs:
    // for the few questions whose answer is needed at once.
    static bool Ask(unsigned type, const std::string& payload, std::string& reply, int timeoutMs);
    void OnBinding(const std::string& command);
    // sway's config as it binds keys now, included files too; false when
    // sway did not answer in time.
    static bool AskConfig(std::string& config);
    // The file that says which Corvalin holds a key on this sway; one
    // Corvalin at a time may bind it.
    static std::string ClaimPath(const std::string& combo);
    void DropClaim();

    std::function<void()> m_onNews;
    std::function<void(const wxString&, const wxString&)> m_onUrgent;
    int m_fd = -1;
    std::string m_in;
    std::map<long long, Window> m_windows;  // by sway's container id
    unsigned long long m_focusCount = 0;
    std::unique_ptr<Reader> m_reader;
    std::unique_ptr<Retry> m_retry;
    class wxEventLoopSource* m_source = nullptr;
    int m_retryMs = 0;
    std::string m_boundCombo;
    std::string m_bindingTag;  // the command sway runs: "nop corvalin-hotkey-<pid>"
    std::function<void()> m_pressed;
};
