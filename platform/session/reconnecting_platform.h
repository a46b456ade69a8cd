#pragma once

// A Wayland backend can be lost while we run: the compositor restarts, KWin
// is replaced, our GNOME Shell extension is switched off.  This keeps the
// monitor's one platform object and puts behind it whatever follows the
// windows now: the backend, or the X11 path while the backend is away and
// asked to come back, less often each time, up to once a second.

#include <functional>
#include <memory>
#include <optional>

#include "platform/wayland/reported_windows.h"
#include "platform/window_tracking.h"

class ReconnectingPlatform final : public WindowPlatform
{
public:
    using Family = std::unique_ptr<ReportedWindowsPlatform> (*)();
    using Fallback = std::unique_ptr<WindowPlatform> (*)();
    // Told each change of what the user must know (empty: all is well),
    // with what to say about it on the way.
    using Notice = std::function<void(const wxString& notice, const wxString& detail)>;

    // backend: the connected one, or null when it is to be waited for (the
    // GNOME extension not yet enabled); family makes a new one to connect.
    ReconnectingPlatform(Family family, std::unique_ptr<ReportedWindowsPlatform> backend,
                         Fallback fallback, Notice notice);
    ~ReconnectingPlatform() override;

    WindowHandle ForegroundWindow() override { return m_current->ForegroundWindow(); }
    bool IsValidWindow(WindowHandle window) override { return m_current->IsValidWindow(window); }
    wxString WindowTitle(WindowHandle window) override { return m_current->WindowTitle(window); }
    unsigned long WindowProcessId(WindowHandle window) override
    {
        return m_current->WindowProcessId(window);
    }
    bool ProcessModuleName(unsigned long pid, wxString& name) override
    {
        return m_current->ProcessModuleName(pid, name);
    }
    void DebugOutput(const wxString& text) override { m_current->DebugOutput(text); }
    void GiveForeground(WindowHandle window) override { m_current->GiveForeground(window); }
    bool ProcessExecutablePath(unsigned long pid, wxString& path) override
    {
        return m_current->ProcessExecutablePath(pid, path);
    }
    wxString WindowClass(WindowHandle window) override { return m_current->WindowClass(window); }
    bool StartEvents(std::function<void()> onChange) override;
    void WatchWindow(WindowHandle window) override;
    wxDateTime ChangeTime() override { return m_current->ChangeTime(); }
    std::int64_t LastLossMs() override { return m_lostMs; }
    ChangeInput InputBeforeChange(unsigned withinMs) override
    {
        return m_current->InputBeforeChange(withinMs);
    }
    // Kept, and bound again in a backend taken up anew.
    bool BindHotKey(int modifiers, int keyCode, std::function<void()> pressed,
                    wxString& problem) override;
    void UnbindHotKey() override;
    void WatchAttempts(std::function<void(WindowHandle, AttemptKind)> attempted) override;
    bool TellsAttempts() const override { return m_current->TellsAttempts(); }
    wxString WindowAppId(WindowHandle window) override { return m_current->WindowAppId(window); }
    std::optional<bool> WindowIsNew(WindowHandle window, unsigned withinMs) override
    {
        return m_current->WindowIsNew(window, withinMs);
    }
    unsigned long WindowClientProcess(WindowHandle window, wxString& how) override
    {
        return m_current->WindowClientProcess(window, how);
    }

    // How long the next attempt waits, after `failures` failed ones: for the
    // tests of the back-off.
    static int RetryDelayMs(int failures);

private:
    class Timer;
    std::function<void(WindowHandle, AttemptKind)> m_onAttempt;
    void Adopt(std::unique_ptr<ReportedWindowsPlatform> backend);
    void OnLost(const wxString& why);
    void FallBack();
    void TryAgain();

    Family m_family;
    Fallback m_fallback;
    Notice m_notice;
    wxString m_name;
    std::unique_ptr<ReportedWindowsPlatform> m_backend;
    // Kept until the main loop has left the lost backend's own call.
    std::unique_ptr<ReportedWindowsPlatform> m_lostBackend;
    std::unique_ptr<WindowPlatform> m_fallbackPlatform;
    WindowPlatform* m_current = nullptr;
    std::function<void()> m_onChange;
    bool m_eventsStarted = false;
    WindowHandle m_watched = 0;
    int m_failures = 0;
    std::int64_t m_lostMs = 0;
    std::unique_ptr<Timer> m_timer;
    struct HotKey
    {
        int modifiers = 0;
        int keyCode = 0;
        std::function<void()> pressed;
    };
    std::optional<HotKey> m_hotKey;
};
