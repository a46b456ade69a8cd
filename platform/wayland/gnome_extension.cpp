// GNOME Shell tells no client which window has the focus; our Shell
// extension (dist/gnome-shell) signals each change on the session bus from
// the shell's own connection, and this backend listens.
#include <gio/gio.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>

#include "platform/key_names.h"
#include "platform/wayland/backends.h"
#include "platform/gdbus/dbus_inbox.h"

namespace
{
constexpr char kUuid[] = "corvalin@pellowen.example";
constexpr char kShellName[] = "org.gnome.Shell";
constexpr char kObjectPath[] = "/example/pellowen/Corvalin";
constexpr char kInterface[] = "example.pellowen.Corvalin.Focus";

// The extension's states as org.gnome.Shell.Extensions reports them.
enum ExtensionState
{
    kEnabled = 1,
    kDisabled = 2,
    kError = 3,
    kOutOfDate = 4,
    kInitialized = 6,
};

class GnomeExtensionPlatform final : public ReportedWindowsPlatform
{
public:
    ~GnomeExtensionPlatform() override { UnbindHotKey(); }
    bool Connect(int timeoutMs) override;
    wxString Name() const override { return L"GNOME Shell (extension)"; }
    wxString Advice() const override { return m_advice; }
    // The extension tells each window the shell marks for attention.
    void WatchAttempts(std::function<void(WindowHandle, AttemptKind)> attempted) override
    {
        m_onAttempt = std::move(attempted);
    }
    bool TellsAttempts() const override { return true; }
    bool BindHotKey(int modifiers, int keyCode, std::function<void()> pressed,
                    wxString& problem) override;
    void UnbindHotKey() override;
    ChangeInput InputNow(unsigned) override
    {
        ChangeInput input;
        if (m_reportedIdleMs >= 0)
            input.idleMs = static_cast<std::uint64_t>(m_reportedIdleMs);
        return input;
    }

private:
    void AdviseFromExtensionInfo(int timeoutMs);
    void OnMessage(GDBusMessage* message);

    std::unique_ptr<DbusInbox> m_inbox;
    std::string m_shell;  // the shell's unique name: only it may report
    bool m_focusReported = false;  // the initial state is a focus report
    wxString m_advice;
    // The shell's idle time sent with the report being applied; -1 unknown.
    gint64 m_reportedIdleMs = -1;
    std::function<void()> m_hotKeyPressed;
    std::function<void(WindowHandle, AttemptKind)> m_onAttempt;
};

// The extension binds it in the shell and signals each press; it lets the
// key go by itself when we leave the bus.
bool GnomeExtensionPlatform::BindHotKey(int modifiers, int keyCode, std::function<void()> pressed,
                                        wxString& problem)
{
    problem.clear();
    if (!m_inbox)
        return false;
    const std::string accelerator = GnomeAccelerator(modifiers, keyCode);
    if (accelerator.empty())
    {
        problem = wxString::FromUTF8(UnnamedKeyProblem(keyCode, "GNOME Shell").c_str());
        return false;
    }
    GVariant* reply =
        m_inbox->Bus().Call(m_shell.c_str(), kObjectPath, kInterface, "BindHotKey",
                            g_variant_new("(s)", accelerator.c_str()), "(b)", 2000);
    if (!reply)
        return false;  // an extension of an earlier Corvalin: no hot key there
    gboolean bound = FALSE;
    g_variant_get(reply, "(b)", &bound);
    g_variant_unref(reply);
    if (!bound)
    {
        problem = wxString::FromUTF8(("GNOME Shell did not bind " + accelerator).c_str());
        return false;
    }
    m_hotKeyPressed = std::move(pressed);
    return true;
}

void GnomeExtensionPlatform::UnbindHotKey()
{
    if (!m_hotKeyPressed || !m_inbox)
        return;
    m_hotKeyPressed = nullptr;
    GVariant* reply =
        m_inbox->Bus().Call(m_shell.c_str(), kObjectPath, kInterface, "UnbindHotKey", nullptr,
                            nullptr, 2000);
    if (reply)
        g_variant_unref(reply);
}

bool GnomeExtensionPlatform::Connect(int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    const auto remaining = [&deadline] {
        return int(std::chrono::duration_cast<std::chrono::milliseconds>(
                       deadline - std::chrono::steady_clock::now())
                       .count());
    };
    m_advice.clear();
    m_inbox = std::make_unique<DbusInbox>([this](GDBusMessage* message) { OnMessage(message); });
    // Without GNOME Shell on the bus this is not GNOME: fail at once, with
    // no advice.
    m_shell = m_inbox->Bus().NameOwner(kShellName, remaining());
    if (m_shell.empty())
    {
        m_inbox.reset();
        return false;
    }

    if (!m_inbox->AcceptSignals(kInterface))
    {
        m_inbox.reset();
        return false;
    }
    // The extension answers Report with a FocusChanged signal: the initial
    // state, and the proof that it runs.
    GVariant* reported = m_inbox->Bus().Call(m_shell.c_str(), kObjectPath, kInterface, "Report", nullptr, "()",
                              remaining());
    if (!reported)
    {
        AdviseFromExtensionInfo(remaining());
        m_inbox.reset();
        return false;
    }
    g_variant_unref(reported);
    while (!m_focusReported && remaining() > 0)
        m_inbox->Wait(remaining());
    if (!m_focusReported)
    {
        m_advice = L"GNOME Shell: Corvalin's extension answered but sent no report; log out and "
                   L"in again so that GNOME Shell loads its current version.";
        m_inbox.reset();
        return false;
    }
    // Watched, never guessed from silence: the shell leaving, and our
    // extension switched off, ends the reports.
    m_inbox->OnOversized([this] {
        ReportLost(L"a peer sent a message far larger than any report; connecting anew to give "
                   L"its memory back");
    });
    m_inbox->Bus().WatchOwner(kShellName, [this](const std::string& owner) {
        if (owner != m_shell)
            ReportLost(L"GNOME Shell left the session bus");
    });
    m_inbox->Bus().Subscribe(m_shell.c_str(), "org.gnome.Shell.Extensions", "ExtensionStateChanged",
                       kUuid, [this](GVariant* parameters) {
                           if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(sa{sv})")))
                               return;
                           GVariant* info = g_variant_get_child_value(parameters, 1);
                           double state = 0;
                           const bool known = g_variant_lookup(info, "state", "d", &state);
                           g_variant_unref(info);
                           if (known && int(state) != kEnabled)
                               ReportLost(L"Corvalin's GNOME Shell extension was switched off");
                       });
    m_inbox->ServeFromMainLoop();
    return true;
}

// Why the extension did not answer, and what the user can do about it.
void GnomeExtensionPlatform::AdviseFromExtensionInfo(int timeoutMs)
{
    const wxString enable = wxString(L"run `gnome-extensions enable ") + kUuid + L"`";
    GVariant* reply = m_inbox->Bus().Call(m_shell.c_str(), "/org/gnome/Shell", "org.gnome.Shell.Extensions",
                           "GetExtensionInfo", g_variant_new("(s)", kUuid), "(a{sv})", timeoutMs);
    double state = 0;
    wxString error;
    if (reply)
    {
        GVariant* info = g_variant_get_child_value(reply, 0);
        // The shell sends numbers as doubles.
        g_variant_lookup(info, "state", "d", &state);
        const gchar* text = nullptr;
        if (g_variant_lookup(info, "error", "&s", &text) && text)
            error = wxString::FromUTF8(text);
        g_variant_unref(info);
        g_variant_unref(reply);
    }
    switch (int(state))
    {
    case kDisabled:
    case kInitialized:
        m_advice = L"GNOME Shell needs Corvalin's extension, which is installed but not enabled: " +
                   enable + L"; Corvalin takes it up as soon as it runs.";
        break;
    case kError:
    case kOutOfDate:
        m_advice = L"GNOME Shell could not run Corvalin's extension" +
                   (error.empty() ? wxString() : L" (" + error + L")") +
                   L": make sure the installed Corvalin matches this GNOME version, then log "
                   L"out and in again.";
        break;
    case kEnabled:
        m_advice = L"GNOME Shell: Corvalin's extension is enabled but does not answer; log out "
                   L"and in again.";
        break;
    default:
        // Unknown to this shell: installed after it started, or not at all.
        m_advice = L"GNOME Shell needs Corvalin's extension, which this session does not have: "
                   L"install Corvalin's package, log out and in again, then " +
                   enable + L".";
        break;
    }
}

// One signal is one batch.  Anything not shaped as our extension sends it
// is ignored.
void GnomeExtensionPlatform::OnMessage(GDBusMessage* message)
{
    const char* sender = g_dbus_message_get_sender(message);
    const char* member = g_dbus_message_get_member(message);
    GVariant* body = g_dbus_message_get_body(message);
    if (!sender || m_shell != sender || !member)
        return;
    if (std::strcmp(member, "HotKey") == 0)
    {
        if (m_hotKeyPressed)
            m_hotKeyPressed();
        return;
    }
    if (!body)
        return;
    // Without the idle time: an extension of an earlier Corvalin, still
    // running until the next login.
    const bool withIdle = g_variant_is_of_type(body, G_VARIANT_TYPE("(tsssustx)"));
    if (std::strcmp(member, "FocusChanged") == 0 &&
        (withIdle || g_variant_is_of_type(body, G_VARIANT_TYPE("(tsssust)"))))
    {
        guint64 id = 0, xid = 0;
        gint64 idle = -1;
        const gchar *title = nullptr, *wmClass = nullptr, *appId = nullptr, *client = nullptr;
        guint32 pid = 0;
        if (withIdle)
            g_variant_get(body, "(t&s&s&su&stx)", &id, &title, &wmClass, &appId, &pid, &client,
                          &xid, &idle);
        else
            g_variant_get(body, "(t&s&s&su&st)", &id, &title, &wmClass, &appId, &pid, &client,
                          &xid);
        m_reportedIdleMs = idle;
        WindowHandle window = 0;
        if (id != 0)
        {
            // Xwayland windows keep their X11 id, as the X11 backend would
            // name them.
            const bool x11 = std::strcmp(client, "x11") == 0 && xid < (guint64(1) << 32);
            window = HandleFor(std::to_string(id), x11 ? WindowHandle(xid) : 0);
            // WM_CLASS names the program; a GTK application without one
            // still has its application id.
            Describe(window, wxString::FromUTF8(title),
                     wxString::FromUTF8(*wmClass ? wmClass : appId), pid);
        }
        Focus(window);
        m_reportedIdleMs = -1;
        m_focusReported = true;
    }
    else if (std::strcmp(member, "Attention") == 0 && g_variant_is_of_type(body, G_VARIANT_TYPE("(tsssust)")))
    {
        guint64 id = 0, xid = 0;
        const gchar *title = nullptr, *wmClass = nullptr, *appId = nullptr, *client = nullptr;
        guint32 pid = 0;
        g_variant_get(body, "(t&s&s&su&st)", &id, &title, &wmClass, &appId, &pid, &client, &xid);
        if (id == 0 || !m_onAttempt)
            return;
        const bool x11 = std::strcmp(client, "x11") == 0 && xid < (guint64(1) << 32);
        const WindowHandle window = HandleFor(std::to_string(id), x11 ? WindowHandle(xid) : 0);
        Describe(window, wxString::FromUTF8(title), wxString::FromUTF8(*wmClass ? wmClass : appId), pid);
        m_onAttempt(window, AttemptKind::Attention);
        return;
    }
    else if (std::strcmp(member, "TitleChanged") == 0 &&
             g_variant_is_of_type(body, G_VARIANT_TYPE("(ts)")))
    {
        guint64 id = 0;
        const gchar* title = nullptr;
        g_variant_get(body, "(t&s)", &id, &title);
        SetTitle(HandleFor(std::to_string(id)), wxString::FromUTF8(title));
    }
    else if (std::strcmp(member, "WindowClosed") == 0 &&
             g_variant_is_of_type(body, G_VARIANT_TYPE("(t)")))
    {
        guint64 id = 0;
        g_variant_get(body, "(t)", &id);
        Forget(HandleFor(std::to_string(id)));
    }
    else
        return;
    EndOfBatch();
}
}  // namespace

std::unique_ptr<ReportedWindowsPlatform> CreateGnomeExtensionPlatform()
{
    return std::make_unique<GnomeExtensionPlatform>();
}
