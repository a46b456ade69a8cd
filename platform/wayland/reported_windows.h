#pragma once

// The shape every Wayland backend shares.  A Wayland compositor tells a
// client about other programs' windows only as reports it sends (a protocol,
// a script, an extension), so a backend keeps what it was told and answers
// every query from that: a tick costs no request to the compositor.

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/window_tracking.h"

class ReportedWindowsPlatform : public WindowPlatform
{
public:
    // Connects and waits, at most about timeoutMs, until the compositor has
    // delivered its initial state.  False: this backend cannot serve this
    // session (and stays harmless).
    virtual bool Connect(int timeoutMs) = 0;
    // The timeoutMs of a try at taking a lost compositor up again, which
    // runs on the main loop: as short as the backend allows.
    virtual int RetryWaitMs() const { return 300; }
    // How the backend learns the focus, for the notice: "sway (wlroots
    // foreign-toplevel)".
    virtual wxString Name() const = 0;
    // After a failed Connect: what the user could do so that this backend
    // works (GNOME: enable our extension and log in again); empty if nothing.
    virtual wxString Advice() const { return wxString(); }
    // Told once, from the main loop, when the compositor stops reporting
    // (it went away, or closed our connection); the backend is then of no
    // further use and may be destroyed once the call has returned.
    void SetLostHandler(std::function<void(const wxString& why)> onLost)
    {
        m_onLost = std::move(onLost);
    }

    ReportedWindowsPlatform();
    ~ReportedWindowsPlatform() override;

    WindowHandle ForegroundWindow() override;
    bool IsValidWindow(WindowHandle window) override;
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
    wxString WindowTitle(WindowHandle window) override;
    wxDateTime ChangeTime() override;
    // As it was when the change was seen, not when its turn came.
    ChangeInput InputBeforeChange(unsigned withinMs) override;
    std::optional<bool> WindowIsNew(WindowHandle window, unsigned withinMs) override;

    // Text from the compositor as it came: invalid UTF-8 becomes U+FFFD, so
    // that a window is always named.
    static wxString DecodeText(const char* bytes);

protected:
    // For the backends, called as reports arrive.
    //
    // The handle of the compositor's window named by key (any text unique
    // among its live windows), made on first sight: a serial from 2^30 on,
    // never reused in a run, so that it cannot be taken for an X11 id; or
    // xid, where the compositor names the X11 window of an Xwayland client.
    WindowHandle HandleFor(const std::string& key, WindowHandle xid = 0);
    // A window was made now, told before it is named by a report of its
    // focus (KWin's script tells it apart).
    void Created(const std::string& key);
    // Set by a backend that hears of every window as it is made (so a
    // window first heard of after the first batch is new), or of which it
    // is told by Created; where neither, whether a window is new stays
    // unknown.
    bool m_announcesWindows = false;
    bool m_tellsCreation = false;
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
    // A batch of reports has been read: commits what is left of the focus
    // and hands the changes to the monitor.
    void EndOfBatch();
    // True once the first batch was committed.
    bool HasInitialState() const { return m_committedOnce; }
    // While held, changes wait in order (each with its moment) instead of
    // going to the monitor: for a backend that completes a window's details
    // from a second source.  Release hands on what waited.
    void HoldChanges() { m_held = true; }
    void ReleaseChanges();
    // The process behind a window, learnt late: also for its changes that
    // wait.
    void SetPid(WindowHandle window, unsigned long pid);
    // The compositor stopped reporting: says so to whoever listens, once.
    void ReportLost(const wxString& why);
    // What the backend knows now of the user's input in the withinMs before
    // this moment; asked as each change is seen.  Unknown unless a backend
    // can tell.
    virtual ChangeInput InputNow(unsigned /*withinMs*/) { return ChangeInput(); }

private:
    struct Window
    {
        std::string key;
        wxString title;
        wxString appId;
        unsigned long pid = 0;
        // When it was first reported, for a window that came after the
        // compositor's first batch; unset for those already there.
        wxDateTime firstSeen;
    };
    // A change of the focus as it was seen: the window as it was then, so
    // that a window gone before the monitor's turn is still named.
    struct Change
    {
        WindowHandle window = 0;
        Window seen;
        wxDateTime when;
        ChangeInput input;
    };
    const Window* Find(WindowHandle window) const;
    // The focus as the reports have it, told to the monitor or not yet.
    WindowHandle Latest() const;
    // Queues the window as the next foreground one, unless it already is.
    void Commit(WindowHandle window);
    // Tells the monitor the queued changes, a bounded number per turn so
    // that a storm of windows never keeps the main loop from reading on.
    void Deliver();
    class DeliveryTimer;

    std::map<WindowHandle, Window> m_windows;
    std::map<std::string, WindowHandle> m_byKey;
    std::map<std::string, wxDateTime> m_created;
    static constexpr size_t kMostCreated = 1024;
    WindowHandle m_pendingFocus = 0;
    bool m_focusReported = false;
    // The last window handed to the monitor (0: none has the focus).
    WindowHandle m_foreground = 0;
    bool m_committedOnce = false;
    std::function<void()> m_onChange;
    std::function<void(const wxString&)> m_onLost;
    bool m_lost = false;
    std::deque<Change> m_changes;
    // The change the monitor is being told about, while it is.
    const Change* m_telling = nullptr;
    bool m_held = false;
    bool m_delivering = false;
    std::unique_ptr<DeliveryTimer> m_deliveryTimer;
    // The span the monitor last asked about, for the next change's snapshot.
    unsigned m_inputWithinMs = 500;
};
