#include "platform/wayland/reported_windows.h"

#include <glib.h>

#include <wx/timer.h>

#include "platform/linux/processes.h"

namespace
{
// How many queued changes the monitor is told about in one turn of the main
// loop; the rest follow in the next turns, after the compositor's reports
// have been read again.
constexpr size_t kChangesPerTurn = 32;
// A bound on what waits: far beyond any real backlog, and still a few MB.
constexpr size_t kMostQueuedChanges = 100000;

// Serials for native windows, never reused in a run, also across the
// backends that a lost compositor makes us create anew: a new window must
// never look like the last one logged.  X11 ids stay below 2^29, so from
// 2^30 on a serial is never one; and below 2^31 the log's signed 32-bit
// handle shows the same number as the record.
constexpr WindowHandle kFirstSerial = (WindowHandle(1) << 30) + 1;
constexpr WindowHandle kX11IdLimit = WindowHandle(1) << 29;
WindowHandle g_nextSerial = kFirstSerial;
}  // namespace

class ReportedWindowsPlatform::DeliveryTimer final : public wxTimer
{
public:
    explicit DeliveryTimer(ReportedWindowsPlatform& owner) : m_owner(owner) {}
    void Notify() override { m_owner.Deliver(); }

private:
    ReportedWindowsPlatform& m_owner;
};

ReportedWindowsPlatform::ReportedWindowsPlatform() = default;
ReportedWindowsPlatform::~ReportedWindowsPlatform() = default;

wxString ReportedWindowsPlatform::DecodeText(const char* bytes)
{
    if (!bytes)
        return wxString();
    gchar* valid = g_utf8_make_valid(bytes, -1);
    const wxString text = wxString::FromUTF8(valid);
    g_free(valid);
    return text;
}

const ReportedWindowsPlatform::Window* ReportedWindowsPlatform::Find(WindowHandle window) const
{
    if (m_telling && m_telling->window == window && window != 0)
        return &m_telling->seen;
    const auto found = m_windows.find(window);
    return found == m_windows.end() ? nullptr : &found->second;
}

WindowHandle ReportedWindowsPlatform::ForegroundWindow()
{
    return m_telling ? m_telling->window : m_foreground;
}

wxDateTime ReportedWindowsPlatform::ChangeTime()
{
    return m_telling ? m_telling->when : wxDateTime();
}

ChangeInput ReportedWindowsPlatform::InputBeforeChange(unsigned withinMs)
{
    m_inputWithinMs = withinMs;
    return m_telling ? m_telling->input : InputNow(withinMs);
}

std::optional<bool> ReportedWindowsPlatform::WindowIsNew(WindowHandle window, unsigned withinMs)
{
    // The window as it was when its change was seen: one gone since is
    // still known.
    const Window* seen = m_telling && m_telling->window == window ? &m_telling->seen : Find(window);
    if (!seen || (!m_announcesWindows && !m_tellsCreation))
        return std::nullopt;
    if (!seen->firstSeen.IsValid())
        return false;
    const wxDateTime when = m_telling ? m_telling->when : wxDateTime::UNow();
    const wxLongLong age = (when - seen->firstSeen).GetMilliseconds();
    return age >= 0 && age <= withinMs;
}

bool ReportedWindowsPlatform::IsValidWindow(WindowHandle window)
{
    return window != 0 && Find(window) != nullptr;
}

wxString ReportedWindowsPlatform::WindowTitle(WindowHandle window)
{
    const Window* found = Find(window);
    return found ? found->title : wxString();
}

unsigned long ReportedWindowsPlatform::WindowProcessId(WindowHandle window)
{
    const Window* found = Find(window);
    return found ? found->pid : 0;
}

bool ReportedWindowsPlatform::ProcessModuleName(unsigned long pid, wxString& name)
{
    return ReadProcessModuleName(pid, name);
}

void ReportedWindowsPlatform::DebugOutput(const wxString& text)
{
    WriteToAttachedDebugger(text);
}

bool ReportedWindowsPlatform::ProcessExecutablePath(unsigned long pid, wxString& path)
{
    return ReadProcessExecutablePath(pid, path);
}

wxString ReportedWindowsPlatform::WindowClass(WindowHandle window)
{
    const Window* found = Find(window);
    return found ? found->appId : wxString();
}

bool ReportedWindowsPlatform::StartEvents(std::function<void()> onChange)
{
    m_onChange = std::move(onChange);
    return true;
}

WindowHandle ReportedWindowsPlatform::HandleFor(const std::string& key, WindowHandle xid)
{
    const auto known = m_byKey.find(key);
    if (known != m_byKey.end())
        return known->second;
    // An X11 id names one live window at a time, like the key; a stale entry
    // under it is a window whose end we missed.
    WindowHandle handle = xid;
    if (handle == 0 || handle >= kX11IdLimit)
    {
        handle = g_nextSerial++;
        // A run that outlives a billion windows starts over rather than
        // print a negative handle.
        if (g_nextSerial >= (WindowHandle(1) << 31))
            g_nextSerial = kFirstSerial;
    }
    else if (const auto old = m_windows.find(handle); old != m_windows.end())
        m_byKey.erase(old->second.key);
    m_windows[handle].key = key;
    // When the window was made, where the compositor tells: a backend that
    // is told of every window as it is made (not the first batch, which
    // names the windows already there), or one told of it apart.
    const auto created = m_created.find(key);
    if (created != m_created.end())
    {
        m_windows[handle].firstSeen = created->second;
        m_created.erase(created);
    }
    else if (m_announcesWindows && m_committedOnce)
    {
        m_windows[handle].firstSeen = wxDateTime::UNow();
    }
    m_byKey[key] = handle;
    return handle;
}

void ReportedWindowsPlatform::Created(const std::string& key)
{
    // Windows made and never focused leave no trace for long.
    if (m_created.size() >= kMostCreated)
        m_created.clear();
    m_created[key] = wxDateTime::UNow();
}

void ReportedWindowsPlatform::Describe(WindowHandle window, const wxString& title,
                                       const wxString& appId, unsigned long pid)
{
    const auto found = m_windows.find(window);
    if (found == m_windows.end())
        return;
    found->second.title = title;
    found->second.appId = appId;
    found->second.pid = pid;
}

void ReportedWindowsPlatform::SetTitle(WindowHandle window, const wxString& title)
{
    const auto found = m_windows.find(window);
    if (found != m_windows.end())
        found->second.title = title;
}

void ReportedWindowsPlatform::SetPid(WindowHandle window, unsigned long pid)
{
    const auto found = m_windows.find(window);
    if (found != m_windows.end())
        found->second.pid = pid;
    for (Change& change : m_changes)
        if (change.window == window && change.seen.pid == 0)
            change.seen.pid = pid;
}

void ReportedWindowsPlatform::Forget(WindowHandle window)
{
    const auto found = m_windows.find(window);
    if (found == m_windows.end())
        return;
    m_byKey.erase(found->second.key);
    m_windows.erase(found);
    if (m_pendingFocus == window)
        m_pendingFocus = 0;
}

void ReportedWindowsPlatform::Focus(WindowHandle window)
{
    m_pendingFocus = m_windows.count(window) ? window : 0;
    m_focusReported = true;
    // A window that got the focus is a switch at once, so that one read
    // carrying several switches loses none of them; only "nothing" waits.
    if (m_pendingFocus != 0)
        Commit(m_pendingFocus);
}

void ReportedWindowsPlatform::Unfocus(WindowHandle window)
{
    if ((m_focusReported ? m_pendingFocus : Latest()) == window)
        Focus(0);
}

void ReportedWindowsPlatform::EndOfBatch()
{
    m_committedOnce = true;
    // A batch that said nothing about the focus leaves it where it was,
    // unless it closed the focused window.
    WindowHandle next = m_focusReported ? m_pendingFocus : Latest();
    if (!m_windows.count(next))
        next = 0;
    m_focusReported = false;
    m_pendingFocus = next;
    Commit(next);
    Deliver();
}

WindowHandle ReportedWindowsPlatform::Latest() const
{
    return m_changes.empty() ? m_foreground : m_changes.back().window;
}

void ReportedWindowsPlatform::Commit(WindowHandle window)
{
    if (window == Latest())
        return;
    if (m_changes.size() >= kMostQueuedChanges)
        m_changes.pop_front();  // the oldest of a storm that never ends
    Change change;
    change.window = window;
    if (const auto found = m_windows.find(window); found != m_windows.end())
        change.seen = found->second;
    change.when = wxDateTime::UNow();
    if (window != 0)
        change.input = InputNow(m_inputWithinMs);
    m_changes.push_back(std::move(change));
}

void ReportedWindowsPlatform::ReleaseChanges()
{
    m_held = false;
    Deliver();
}

void ReportedWindowsPlatform::Deliver()
{
    // The monitor's call may read reports again (a backend that drains its
    // connection); those changes wait for this loop.
    if (m_delivering || m_held)
        return;
    m_delivering = true;
    size_t told = 0;
    while (!m_changes.empty() && !m_held && told < kChangesPerTurn)
    {
        const Change change = std::move(m_changes.front());
        m_changes.pop_front();
        m_foreground = change.window;
        if (change.window == 0 || !m_onChange)
            continue;
        ++told;
        m_telling = &change;
        m_onChange();
        m_telling = nullptr;
    }
    m_delivering = false;
    if (!m_changes.empty() && !m_held)
    {
        if (!m_deliveryTimer)
            m_deliveryTimer = std::make_unique<DeliveryTimer>(*this);
        m_deliveryTimer->StartOnce(1);
    }
}

void ReportedWindowsPlatform::ReportLost(const wxString& why)
{
    if (m_lost)
        return;
    m_lost = true;
    if (m_onLost)
        m_onLost(why);
}
