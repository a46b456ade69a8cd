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

class SwayWindowEvents
{
public:
    // Called from the main loop after news about windows was read.
    explicit SwayWindowEvents(std::function<void()> onNews);
    ~SwayWindowEvents();
    SwayWindowEvents(const SwayWindowEvents&) = delete;
    SwayWindowEvents& operator=(const SwayWindowEvents&) = delete;

    // Connects to $SWAYSOCK; false outside sway.  A connection that breaks
    // later is made again by itself.
    bool Start();
    bool IsConnected() const { return m_fd >= 0; }
    // Reads what sway has sent so far, without waiting.
    void ReadNow();
    // The process of the window sway knows by this app id (or X11 class) and
    // title, the one focused last where several match; 0 when none does.
    unsigned long PidFor(const wxString& appId, const wxString& title) const;

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

    std::function<void()> m_onNews;
    int m_fd = -1;
    std::string m_in;
    std::map<long long, Window> m_windows;  // by sway's container id
    unsigned long long m_focusCount = 0;
    std::unique_ptr<Reader> m_reader;
    std::unique_ptr<Retry> m_retry;
    class wxEventLoopSource* m_source = nullptr;
    int m_retryMs = 0;
};
