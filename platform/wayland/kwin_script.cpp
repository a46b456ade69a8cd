// KDE Plasma: KWin tells no Wayland client which window is active, but it
// runs scripts, and a script may call any D-Bus service.  We load a small
// script of ours that calls us on every activation, caption change and
// window removal, and keep what it reports.
#include <gio/gio.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <map>
#include <string>
#include <vector>

#include <functional>
#include <wx/timer.h>

#include "platform/wayland/backends.h"
#include "platform/gdbus/dbus_inbox.h"
#include "platform/wayland/input_idle.h"
#include "platform/wayland/kwin_hot_key.h"

// The script's text, embedded at build time from scripts/kwin_reporter.js.
extern const char kwin_reporter_js[];

namespace
{
// How long a report of "no active window" waits for the activation that
// usually follows it at once, so that a switch is not logged as nothing.
constexpr int kNoneGraceMs = 200;

// The scripts of every Corvalin in this session, a line "PID NAME" each, in
// the runtime folder: KWin lists no loaded script by name, and a Corvalin
// killed leaves its own loaded, each holding what it registered.
std::string ScriptListPath()
{
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return std::string(runtime && *runtime ? runtime : "/tmp") + "/corvalin-kwin-scripts";
}

bool IsRunning(long pid)
{
    return pid > 0 && (kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

// Rewrites the list under its lock: `keep` says which lines stay; the names
// of the others are returned.  `add` is appended.
std::vector<std::string> EditScriptList(const std::function<bool(long pid, const std::string&)>& keep,
                                        const std::string& add = std::string())
{
    std::vector<std::string> dropped;
    const int fd = open(ScriptListPath().c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return dropped;
    flock(fd, LOCK_EX);
    std::string text, kept;
    char buffer[4096];
    for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;)
        text.append(buffer, static_cast<size_t>(n));
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
    {
        std::istringstream words(line);
        long pid = 0;
        std::string name;
        if (!(words >> pid >> name))
            continue;
        if (keep(pid, name))
            kept += line + "\n";
        else
            dropped.push_back(name);
    }
    if (!add.empty())
        kept += std::to_string(getpid()) + " " + add + "\n";
    if (ftruncate(fd, 0) == 0 && lseek(fd, 0, SEEK_SET) == 0)
    {
        const bool written = write(fd, kept.data(), kept.size()) == static_cast<ssize_t>(kept.size());
        (void)written;
    }
    flock(fd, LOCK_UN);
    close(fd);
    return dropped;
}

class KwinScriptPlatform final : public ReportedWindowsPlatform, private kwin::ScriptLoader
{
public:
    // The script tells each window as it is added.
    KwinScriptPlatform() : m_grace(this), m_hotKey(*this) { m_tellsCreation = true; }
    // The script tells each window marked as demanding attention.
    void WatchAttempts(std::function<void(WindowHandle, AttemptKind)> attempted) override
    {
        m_onAttempt = std::move(attempted);
    }
    bool TellsAttempts() const override { return true; }
    ~KwinScriptPlatform() override;

    bool Connect(int timeoutMs) override;
    wxString Name() const override { return L"KWin (script)"; }
    bool StartEvents(std::function<void()> onChange) override;
    bool BindHotKey(int modifiers, int keyCode, std::function<void()> pressed,
                    wxString& problem) override
    {
        problem.clear();
        UnbindHotKey();
        if (!m_inbox || !m_serving)
            return false;
        return m_hotKey.Bind(*m_inbox, m_objectPath, modifiers, keyCode, std::move(pressed),
                             problem);
    }
    void UnbindHotKey() override { m_hotKey.Unbind(m_inbox.get()); }
    ChangeInput InputNow(unsigned withinMs) override
    {
        ChangeInput input;
        input.inputWithin = m_inputIdle.InputWithin(withinMs);
        return input;
    }

private:
    struct GraceTimer final : wxTimer
    {
        explicit GraceTimer(KwinScriptPlatform* owner) : m_owner(owner) {}
        void Notify() override { m_owner->EndBatch(); }
        KwinScriptPlatform* m_owner;
    };

    void Handle(GDBusMessage* message);
    void EndBatch()
    {
        m_nonePending = false;
        EndOfBatch();
    }
    // Applies one report; false when it was not one of ours or malformed.
    bool Apply(const char* member, GVariant* body);
    bool RunScript(int id) override;
    void RemoveScriptFile() override;
    int LoadScript(const std::string& text, const std::string& name) override;
    void Unload(const std::string& name) override;
    void UnloadStaleScripts();

    std::unique_ptr<DbusInbox> m_inbox;
    std::string m_kwinOwner;
    std::string m_pluginName;
    std::string m_scriptFile;
    bool m_loaded = false;
    bool m_serving = false;
    bool m_nonePending = false;
    GraceTimer m_grace;
    // KWin's internal id of each window reported, to find it again when its
    // caption changes or it closes.
    std::map<std::string, WindowHandle> m_known;
    std::function<void(WindowHandle, AttemptKind)> m_onAttempt;
    // KWin's idle protocols, on a Wayland connection of its own.
    WaylandInputIdle m_inputIdle;
    std::string m_objectPath;
    KwinHotKey m_hotKey;
};

KwinScriptPlatform::~KwinScriptPlatform()
{
    m_grace.Stop();
    UnbindHotKey();
    if (m_loaded)
        Unload(m_pluginName);
    RemoveScriptFile();
}

// By name: the id KWin gave a script is reused after any unload.
void KwinScriptPlatform::Unload(const std::string& name)
{
    if (!m_inbox || !m_inbox->IsOpen())
        return;
    GVariant* reply =
        m_inbox->Bus().Call(kwin::kService, "/Scripting", "org.kde.kwin.Scripting", "unloadScript",
                            g_variant_new("(s)", name.c_str()), nullptr, kwin::kCallTimeoutMs);
    if (reply)
        g_variant_unref(reply);
    EditScriptList([&name](long, const std::string& listed) { return listed != name; });
}

// Scripts of Corvalins that are gone, and their shortcuts: a killed one's
// would run on, reporting to nobody and holding its key.
void KwinScriptPlatform::UnloadStaleScripts()
{
    const std::vector<std::string> stale = EditScriptList(
        [](long pid, const std::string&) { return pid == getpid() || IsRunning(pid); });
    for (const std::string& name : stale)
    {
        GVariant* reply =
            m_inbox->Bus().Call(kwin::kService, "/Scripting", "org.kde.kwin.Scripting", "unloadScript",
                                g_variant_new("(s)", name.c_str()), nullptr, kwin::kCallTimeoutMs);
        if (reply)
            g_variant_unref(reply);
        if (KwinHotKey::IsHotKeyScript(name))
            KwinHotKey::Unregister(*m_inbox, name);
    }
}

int KwinScriptPlatform::LoadScript(const std::string& text, const std::string& name)
{
    RemoveScriptFile();
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string file = std::string(runtime && *runtime ? runtime : "/tmp") +
                       "/corvalin-kwin-XXXXXX.js";
    // mkstemps makes it readable by us alone.
    int fd = mkstemps(&file[0], 3);
    if (fd < 0)
        return -1;
    m_scriptFile = file;
    bool written = write(fd, text.data(), text.size()) == ssize_t(text.size());
    written = close(fd) == 0 && written;
    if (!written)
        return -1;
    GVariant* reply = m_inbox->Bus().Call(
        kwin::kService, "/Scripting", "org.kde.kwin.Scripting", "loadScript",
        g_variant_new("(ss)", m_scriptFile.c_str(), name.c_str()), "(i)", kwin::kCallTimeoutMs);
    if (!reply)
        return -1;
    gint32 id = -1;
    g_variant_get(reply, "(i)", &id);
    g_variant_unref(reply);
    if (id >= 0)
        EditScriptList([](long, const std::string&) { return true; }, name);
    return id;
}

void KwinScriptPlatform::RemoveScriptFile()
{
    if (!m_scriptFile.empty())
        unlink(m_scriptFile.c_str());
    m_scriptFile.clear();
}

bool KwinScriptPlatform::Connect(int timeoutMs)
{
    m_inbox = std::make_unique<DbusInbox>([this](GDBusMessage* message) { Handle(message); });
    if (!m_inbox->IsOpen())
        return false;
    // Without KWin on the bus there is nothing to wait for.
    m_kwinOwner = m_inbox->Bus().NameOwner(kwin::kService, kwin::kCallTimeoutMs);
    if (m_kwinOwner.empty())
        return false;

    const std::string token = kwin::RandomToken();
    const std::string objectPath = "/example/pellowen/Corvalin/KWin/r" + token;
    m_objectPath = objectPath;
    m_pluginName = "corvalin-" + std::to_string(getpid()) + "-" + token;
    m_inbox->AcceptMethodCalls(objectPath);
    UnloadStaleScripts();

    std::string script = kwin_reporter_js;
    kwin::ReplaceAll(script, "@SERVICE@", m_inbox->Bus().UniqueName());
    kwin::ReplaceAll(script, "@PATH@", objectPath);
    kwin::ReplaceAll(script, "@IFACE@", kwin::kReportInterface);

    const int id = LoadScript(script, m_pluginName);
    if (id < 0)
    {
        RemoveScriptFile();
        return false;
    }
    m_loaded = true;

    // The script's first report (the active window, or none) proves that it
    // runs; KWin reads the file only then, so it may go afterwards.
    const gint64 end = g_get_monotonic_time() + gint64(timeoutMs) * 1000;
    auto waitForReport = [this](gint64 until) {
        while (!HasInitialState())
        {
            const gint64 left = (until - g_get_monotonic_time()) / 1000;
            if (left <= 0 || !m_inbox->Wait(int(left)))
                break;
        }
        return HasInitialState();
    };
    // KWin numbers a script by how many are loaded, so after another one was
    // unloaded our number can be a live script's, whose object then takes
    // the run.  Asking KWin to start all loaded scripts reaches ours too.
    bool ran = RunScript(id) &&
               waitForReport(std::min(end, g_get_monotonic_time() + kwin::kRunByIdMs * 1000));
    if (!ran)
    {
        GVariant* started = m_inbox->Bus().Call(kwin::kService, "/Scripting",
                                                "org.kde.kwin.Scripting", "start", nullptr,
                                                nullptr, kwin::kCallTimeoutMs);
        if (started)
        {
            g_variant_unref(started);
            ran = waitForReport(end);
        }
    }
    RemoveScriptFile();
    if (ran)
    {
        m_inputIdle.Start(500, std::chrono::steady_clock::now() + std::chrono::milliseconds(kwin::kCallTimeoutMs));
        // Our script lives and dies with this KWin: a KWin that leaves or is
        // replaced ends the reports, and whatever now owns the name is
        // another program until a script of ours runs in it.
        m_inbox->OnOversized([this] {
            ReportLost(L"a peer sent a message far larger than any report; connecting anew to "
                       L"give its memory back");
        });
        m_inbox->Bus().WatchOwner(kwin::kService, [this](const std::string& owner) {
            if (owner == m_kwinOwner)
                return;
            m_loaded = false;
            ReportLost(owner.empty() ? L"KWin left the session bus"
                                     : L"KWin was replaced on the session bus");
        });
    }
    return ran;
}

// The object of a loaded script is /Scripting/Script<id> on Plasma 6 and
// /<id> on Plasma 5; the one that takes the call is the running KWin's.
bool KwinScriptPlatform::RunScript(int id)
{
    for (const std::string& path : {"/Scripting/Script" + std::to_string(id), "/" + std::to_string(id)})
    {
        GVariant* reply = m_inbox->Bus().Call(kwin::kService, path.c_str(), "org.kde.kwin.Script",
                                              "run", nullptr, nullptr, kwin::kCallTimeoutMs);
        if (reply)
        {
            g_variant_unref(reply);
            return true;
        }
    }
    return false;
}

bool KwinScriptPlatform::StartEvents(std::function<void()> onChange)
{
    ReportedWindowsPlatform::StartEvents(std::move(onChange));
    if (!m_serving && m_inbox)
    {
        m_inbox->ServeFromMainLoop();
        m_serving = true;
    }
    return true;
}

void KwinScriptPlatform::Handle(GDBusMessage* message)
{
    // Only KWin speaks for KWin: a call from any other peer is dropped.
    const char* sender = g_dbus_message_get_sender(message);
    const char* interface = g_dbus_message_get_interface(message);
    const char* member = g_dbus_message_get_member(message);
    if (!sender || m_kwinOwner != sender || !interface ||
        std::strcmp(interface, kwin::kReportInterface) != 0 || !member)
        return;
    if (m_hotKey.Handle(member))
        return;
    if (!Apply(member, g_dbus_message_get_body(message)))
        return;
    // A "none" waits briefly for the activation that usually follows; the
    // first report of all is the initial state and is taken as it is.  A
    // closed window ends the wait, so that the focus never stays on a window
    // that is gone.
    if (m_nonePending && m_serving && std::strcmp(member, "Closed") != 0)
    {
        m_grace.StartOnce(kNoneGraceMs);
        return;
    }
    m_grace.Stop();
    EndBatch();
}

bool KwinScriptPlatform::Apply(const char* member, GVariant* body)
{
    auto bodyIs = [body](const char* type) {
        return body && g_variant_is_of_type(body, G_VARIANT_TYPE(type));
    };
    if (std::strcmp(member, "Active") == 0 && bodyIs("(ssssss)"))
    {
        const char *caption, *resourceClass, *resourceName, *pid, *id, *xid;
        g_variant_get(body, "(&s&s&s&s&s&s)", &caption, &resourceClass, &resourceName, &pid, &id,
                      &xid);
        if (!*id)
            return false;
        const unsigned long long x = kwin::ParseNumber(xid);
        // An XID is 32 bits; anything larger is not one.
        const WindowHandle window = HandleFor(id, x <= 0xffffffffULL ? WindowHandle(x) : 0);
        // An XID names one window at a time: a window that had it before is
        // gone, and its late removal must not take the new one with it.
        for (auto known = m_known.begin(); known != m_known.end();)
            known = known->second == window && known->first != id ? m_known.erase(known)
                                                                   : std::next(known);
        m_known[id] = window;
        // Plasma 6 gives the class of native windows as the app id; Plasma 5
        // gives the resource class, and the name where the class is empty.
        const char* appId = *resourceClass ? resourceClass : resourceName;
        Describe(window, wxString::FromUTF8(caption), wxString::FromUTF8(appId),
                 static_cast<unsigned long>(kwin::ParseNumber(pid)));
        Focus(window);
        m_nonePending = false;
        return true;
    }
    if (std::strcmp(member, "Attention") == 0 && bodyIs("(ssssss)"))
    {
        const char *caption, *resourceClass, *resourceName, *pid, *id, *xid;
        g_variant_get(body, "(&s&s&s&s&s&s)", &caption, &resourceClass, &resourceName, &pid, &id,
                      &xid);
        if (!*id || !m_onAttempt)
            return false;
        const unsigned long long x = kwin::ParseNumber(xid);
        const WindowHandle window = HandleFor(id, x <= 0xffffffffULL ? WindowHandle(x) : 0);
        m_known[id] = window;
        const char* appId = *resourceClass ? resourceClass : resourceName;
        Describe(window, wxString::FromUTF8(caption), wxString::FromUTF8(appId),
                 static_cast<unsigned long>(kwin::ParseNumber(pid)));
        m_onAttempt(window, AttemptKind::Attention);
        return false;  // no change of the focus to commit
    }
    if (std::strcmp(member, "ActiveNone") == 0 && (!body || bodyIs("()")))
    {
        Focus(0);
        m_nonePending = true;
        return true;
    }
    if (std::strcmp(member, "Caption") == 0 && bodyIs("(ss)"))
    {
        const char *id, *caption;
        g_variant_get(body, "(&s&s)", &id, &caption);
        auto known = m_known.find(id);
        if (known == m_known.end())
            return false;
        SetTitle(known->second, wxString::FromUTF8(caption));
        return true;
    }
    if (std::strcmp(member, "Added") == 0 && bodyIs("(s)"))
    {
        const char* id;
        g_variant_get(body, "(&s)", &id);
        Created(id);
        return false;  // no change of the focus to commit
    }
    if (std::strcmp(member, "Closed") == 0 && bodyIs("(s)"))
    {
        const char* id;
        g_variant_get(body, "(&s)", &id);
        auto known = m_known.find(id);
        if (known == m_known.end())
            return false;
        Forget(known->second);
        m_known.erase(known);
        return true;
    }
    return false;
}
}  // namespace

std::unique_ptr<ReportedWindowsPlatform> CreateKwinScriptPlatform()
{
    return std::make_unique<KwinScriptPlatform>();
}
