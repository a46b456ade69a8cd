#pragma once

// The shape every Wayland backend shares.  A Wayland compositor tells a
// client about other programs' windows only as reports it sends (a protocol,
// a script, an extension), so a backend keeps what it was told and answers
// every query from that: a tick costs no request to the compositor.

#include <functional>
#include <map>
#include <string>

#include "platform/window_tracking.h"

class ReportedWindowsPlatform : public WindowPlatform
{
public:
    // Connects and waits, at most about timeoutMs, until the compositor has
    // delivered its initial state.  False: this backend cannot serve this
    // session (and stays harmless).
    virtual bool Connect(int timeoutMs) = 0;
    // How the backend learns the focus, for the notice: "sway (wlroots
    // foreign-toplevel)".
    virtual wxString Name() const = 0;
    // After a failed Connect: what the user could do so that this backend
    // works (GNOME: enable our extension and log in again); empty if nothing.
    virtual wxString Advice() const { return wxString(); }

    WindowHandle ForegroundWindow() override { return m_foreground; }
    bool IsValidWindow(WindowHandle window) override;
    wxString WindowTitle(WindowHandle window) override;
    unsigned long WindowProcessId(WindowHandle window) override;
    bool ProcessModuleName(unsigned long pid, wxString& name) override;
    void DebugOutput(const wxString& text) override;
    // No protocol of ours moves the focus unless a backend says otherwise.
    void GiveForeground(WindowHandle) override {}
    bool ProcessExecutablePath(unsigned long pid, wxString& path) override;
    // The app id (wlroots), resource class (KWin) or WM_CLASS (GNOME).
    wxString WindowClass(WindowHandle window) override;
    bool StartEvents(std::function<void()> onChange) override;
    // Every window's end is reported anyway.
    void WatchWindow(WindowHandle) override {}
    wxString WindowAppId(WindowHandle window) override { return WindowClass(window); }

protected:
    // For the backends, called as reports arrive.
    //
    // The handle of the compositor's window named by key (any text unique
    // among its live windows), made on first sight: a serial above 2^32,
    // never reused in a run, so that it cannot be taken for an X11 id; or
    // xid, where the compositor names the X11 window of an Xwayland client.
    WindowHandle HandleFor(const std::string& key, WindowHandle xid = 0);
    // What is known of the window now; pid 0 when unknown.
    void Describe(WindowHandle window, const wxString& title, const wxString& appId,
                  unsigned long pid);
    void SetTitle(WindowHandle window, const wxString& title);
    // The window is gone.
    void Forget(WindowHandle window);
    // The window that has the focus now, 0 for none.  A window takes effect
    // at once; "nothing" only at the end of the batch, since a switch often
    // reports "nothing" first and the new window a moment later.
    void Focus(WindowHandle window);
    // The window lost the focus: nothing has it, unless another window was
    // reported to have it since.
    void Unfocus(WindowHandle window);
    // A batch of reports has been read: commits what is left of the focus.
    void EndOfBatch();
    // True once the first batch was committed.
    bool HasInitialState() const { return m_committedOnce; }

private:
    struct Window
    {
        std::string key;
        wxString title;
        wxString appId;
        unsigned long pid = 0;
    };
    const Window* Find(WindowHandle window) const;
    // Makes the window the foreground one; tells the monitor when it is a
    // window and a change.
    void Commit(WindowHandle window);

    std::map<WindowHandle, Window> m_windows;
    std::map<std::string, WindowHandle> m_byKey;
    WindowHandle m_nextSerial = (WindowHandle(1) << 32) + 1;
    WindowHandle m_pendingFocus = 0;
    bool m_focusReported = false;
    WindowHandle m_foreground = 0;
    bool m_committedOnce = false;
    std::function<void()> m_onChange;
};
