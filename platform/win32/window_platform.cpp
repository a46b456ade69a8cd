// Win32 side of the platform: the plain window functions, foreground events
// queued as they come, and the Tool Help module snapshot and process image
// name, read once per process.
#include "platform/window_tracking.h"

#include <windows.h>
#include <tlhelp32.h>

#include <cstdint>
#include <cstring>
#include <deque>
#include <unordered_map>

namespace
{
HWND ToHwnd(WindowHandle window)
{
    return reinterpret_cast<HWND>(window);
}

// Room for 255 characters and the terminating null.
constexpr int kTitleBuffer = 256;

// Module32FirstW rejects a record whose size field is smaller than the record
// it knows: 1064 bytes in a 32-bit build, 1080 in a 64-bit one, where the
// base address and module handle are wider.  A fixed 1064 would make every
// 64-bit lookup fail with ERROR_INSUFFICIENT_BUFFER.
static_assert(sizeof(MODULEENTRY32W) == (sizeof(void*) == 4 ? 1064 : 1080),
              "MODULEENTRY32W has an unexpected size");

// When the process now under this pid was started, or 0 when it cannot be
// asked: with its pid this names one process, as a pid alone, reused after
// an exit, does not.
std::uint64_t ProcessCreationTime(DWORD pid)
{
    const HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process)
        return 0;
    FILETIME created, exited, kernel, user;
    const BOOL ok = ::GetProcessTimes(process, &created, &exited, &kernel, &user);
    ::CloseHandle(process);
    if (!ok)
        return 0;
    return (static_cast<std::uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

bool ReadModuleName(DWORD pid, wxString& name)
{
    const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid);
    if (snapshot == INVALID_HANDLE_VALUE)
        return false;
    MODULEENTRY32W entry;
    std::memset(&entry, 0, sizeof entry);
    entry.dwSize = sizeof entry;
    const BOOL found = ::Module32FirstW(snapshot, &entry);
    ::CloseHandle(snapshot);
    // The first module of a process is its executable.
    if (!found || entry.szModule[0] == L'\0')
        return false;
    name = wxString(entry.szModule);
    return true;
}

bool ReadExecutablePath(DWORD pid, wxString& path)
{
    const HANDLE process = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process)
        return false;
    wchar_t buffer[MAX_PATH * 4];
    DWORD size = static_cast<DWORD>(sizeof buffer / sizeof buffer[0]);
    const BOOL ok = ::QueryFullProcessImageNameW(process, 0, buffer, &size);
    ::CloseHandle(process);
    if (!ok)
        return false;
    path = wxString(buffer, size);
    return true;
}

// Event times are GetTickCount milliseconds; a line wants the wall time.
wxDateTime WallTimeOfTick(DWORD eventTick)
{
    const wxDateTime now = wxDateTime::UNow();
    const LONG age = static_cast<LONG>(::GetTickCount() - eventTick);
    // A time from the future (the two clocks read apart) or from long ago
    // (no time given) says nothing better than now does.
    if (age <= 0 || age > 60 * 1000)
        return now;
    return now - wxTimeSpan::Milliseconds(age);
}

// A snapshot per line costs milliseconds (under Wine more), while a process
// keeps its executable for life: names are kept per process, for as many
// processes as a desktop shows at once.
class ProcessNameCache
{
public:
    // Fills the name or path from what is kept, or reads it with read and
    // keeps it; false when it cannot be read.
    template <typename Read>
    bool Lookup(DWORD pid, bool wantPath, wxString& out, Read read)
    {
        const std::uint64_t created = ProcessCreationTime(pid);
        if (created == 0)
            return read(pid, out);  // nothing names the process for sure
        auto it = m_known.find(pid);
        if (it != m_known.end() && it->second.created != created)
        {
            m_known.erase(it);  // the pid now belongs to another process
            it = m_known.end();
        }
        if (it != m_known.end())
        {
            it->second.lastUse = ++m_uses;
            const wxString& kept = wantPath ? it->second.path : it->second.name;
            if (!kept.empty())
            {
                out = kept;
                return true;
            }
        }
        // Failures are not kept: a process being started or ended may answer
        // the next time.
        if (!read(pid, out))
            return false;
        // The process may have ended and its pid been reused while it was read.
        if (ProcessCreationTime(pid) != created)
            return true;
        if (it == m_known.end())
        {
            MakeRoom();
            it = m_known.emplace(pid, Process{created, wxString(), wxString(), 0}).first;
        }
        (wantPath ? it->second.path : it->second.name) = out;
        it->second.lastUse = ++m_uses;
        return true;
    }

private:
    static constexpr size_t kMaxProcesses = 64;

    struct Process
    {
        std::uint64_t created;
        wxString name;
        wxString path;
        std::uint64_t lastUse;
    };

    // Drops the processes that have ended; if all still run, the one asked
    // for least recently.
    void MakeRoom()
    {
        if (m_known.size() < kMaxProcesses)
            return;
        for (auto it = m_known.begin(); it != m_known.end();)
        {
            if (ProcessCreationTime(it->first) != it->second.created)
                it = m_known.erase(it);
            else
                ++it;
        }
        if (m_known.size() < kMaxProcesses)
            return;
        auto oldest = m_known.begin();
        for (auto it = m_known.begin(); it != m_known.end(); ++it)
        {
            if (it->second.lastUse < oldest->second.lastUse)
                oldest = it;
        }
        m_known.erase(oldest);
    }

    std::unordered_map<DWORD, Process> m_known;
    std::uint64_t m_uses = 0;
};

class Win32WindowPlatform final : public WindowPlatform
{
public:
    WindowHandle ForegroundWindow() override
    {
        if (m_delivering)
            return reinterpret_cast<WindowHandle>(m_current.window);
        const HWND now = ::GetForegroundWindow();
        const DWORD asked = ::GetTickCount();
        const DWORD sinceLastAsked = asked - m_lastAsked;
        m_lastAsked = asked;
        m_sampledSince = wxDateTime();
        // A change a sample saw and left to its event, gone again before any
        // event told it: it was in front all the same, so it gets its line
        // now, as first seen, and what is in front now waits its turn.
        if (m_pending && now != m_pending && ::IsWindow(m_pending))
        {
            const HWND earlier = m_pending;
            const wxDateTime seenAt = m_pendingSinceWall;
            m_answeredTick = m_pendingSince;
            Answer(earlier);
            if (now && now != earlier)
            {
                m_pending = now;
                m_pendingSince = asked;
                m_pendingSinceWall = wxDateTime::UNow();
            }
            m_sampledSince = seenAt;
            return reinterpret_cast<WindowHandle>(earlier);
        }
        // Only regular sampling (or a sample amid events) waits for events: a
        // sample on its own (the hot key while monitoring is off, where no
        // events come) wants the foreground as it is.
        if (!m_hook || now == m_answered || !m_answered || !::IsWindow(m_answered) ||
            sinceLastAsked > kSamplingGapMs)
        {
            if (now != m_answered)
                m_answeredTick = asked;
            return Answer(now);
        }
        // The system raises the event after the switch, so a sample may see
        // a new foreground just before its event comes.  The event, with its
        // time, gets it first; a sample takes it only if no event has come
        // for a while (where the system raises none, two ticks later,
        // stamped with when it was first seen).
        if (now != m_pending)
        {
            m_pending = now;
            m_pendingSince = asked;
            m_pendingSinceWall = wxDateTime::UNow();
        }
        if (asked - m_pendingSince < kEventGraceMs)
            return reinterpret_cast<WindowHandle>(m_answered);
        // The line says when the change was first seen, not when the wait ended.
        m_sampledSince = m_pendingSinceWall;
        m_answeredTick = m_pendingSince;
        return Answer(now);
    }

    // The system's own count of the time since the last input of the
    // session (keys, buttons, pointer moves), up to the change.
    ChangeInput InputBeforeChange(unsigned) override
    {
        ChangeInput input;
        LASTINPUTINFO last;
        last.cbSize = sizeof last;
        if (!::GetLastInputInfo(&last))
            return input;
        // No input at all since the system started.
        if (last.dwTime == 0)
        {
            input.inputWithin = false;
            return input;
        }
        const DWORD now = ::GetTickCount();
        DWORD change = m_delivering ? m_current.tick : m_answeredTick;
        // Tick counts wrap after 49.7 days: every difference is taken
        // unsigned.  A change with no time, from the future or from long
        // ago is measured from now, as its line is stamped.
        if (change == 0 || static_cast<DWORD>(now - change) > 60 * 1000)
            change = now;
        // Input after the change hides how long there was none before it.
        const DWORD inputAfter = last.dwTime - change;
        if (inputAfter != 0 && inputAfter < 0x80000000u)
            return input;
        input.idleMs = static_cast<DWORD>(change - last.dwTime);
        return input;
    }

    wxDateTime ChangeTime() override
    {
        return m_delivering ? m_current.when : m_sampledSince;
    }

    bool IsValidWindow(WindowHandle window) override
    {
        return window != 0 && ::IsWindow(ToHwnd(window)) != FALSE;
    }

    wxString WindowTitle(WindowHandle window) override
    {
        wchar_t title[kTitleBuffer];
        title[0] = L'\0';
        const int length = ::GetWindowTextW(ToHwnd(window), title, kTitleBuffer);
        if (length <= 0)
            return wxString();
        return wxString(title, static_cast<size_t>(length));
    }

    unsigned long WindowProcessId(WindowHandle window) override
    {
        DWORD pid = 0;
        ::GetWindowThreadProcessId(ToHwnd(window), &pid);
        return pid;
    }

    bool ProcessModuleName(unsigned long pid, wxString& name) override
    {
        return m_names.Lookup(static_cast<DWORD>(pid), false, name, [](DWORD id, wxString& out) {
            if (ReadModuleName(id, out))
                return true;
            // The snapshot needs the right to read the process's memory,
            // which an elevated or another user's process refuses, and a
            // 32-bit build cannot read a 64-bit process's modules; the image
            // name needs only the limited query right.  (Read here, not
            // through the cache, which is in the middle of this lookup.)
            wxString path;
            if (!ReadExecutablePath(id, path))
                return false;
            out = path.AfterLast(L'\\');
            return !out.empty();
        });
    }

    void DebugOutput(const wxString& text) override
    {
        ::OutputDebugStringW(text.wc_str());
    }

    void GiveForeground(WindowHandle window) override
    {
        ::SetForegroundWindow(ToHwnd(window));
    }

    bool ProcessExecutablePath(unsigned long pid, wxString& path) override
    {
        return m_names.Lookup(static_cast<DWORD>(pid), true, path, &ReadExecutablePath);
    }

    wxString WindowClass(WindowHandle window) override
    {
        wchar_t name[256];
        const int length = ::GetClassNameW(ToHwnd(window), name, 256);
        return length > 0 ? wxString(name, static_cast<size_t>(length)) : wxString();
    }

    ~Win32WindowPlatform() override
    {
        if (m_hook)
            ::UnhookWinEvent(m_hook);
        if (s_instance == this)
            s_instance = nullptr;
    }

    // The system tells each foreground change through the GUI thread's
    // message loop, with the window and the time; each is logged as told.
    bool StartEvents(std::function<void()> onChange) override
    {
        if (m_hook)
            return true;
        m_onChange = std::move(onChange);
        s_instance = this;
        m_hook = ::SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, nullptr,
                                   &Win32WindowPlatform::OnWinEvent, 0, 0, WINEVENT_OUTOFCONTEXT);
        return m_hook != nullptr;
    }

    void WatchWindow(WindowHandle) override {}

private:
    // Events queue behind a busy main loop: in a burst of switches every few
    // milliseconds under Wine, some waited over 100 ms for their turn.
    static constexpr DWORD kEventGraceMs = 100;
    // Samples closer than this are the timer's.
    static constexpr DWORD kSamplingGapMs = 150;

    WindowHandle Answer(HWND window)
    {
        m_answered = window;
        m_pending = nullptr;
        return reinterpret_cast<WindowHandle>(window);
    }

    struct ForegroundEvent
    {
        HWND window;
        wxDateTime when;
        DWORD tick;  // the event's GetTickCount time
    };

    static void CALLBACK OnWinEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG, LONG, DWORD,
                                    DWORD eventTime)
    {
        // No window named: the next tick reads what is in front.
        if (event != EVENT_SYSTEM_FOREGROUND || !window || !s_instance)
            return;
        s_instance->m_queue.push_back(ForegroundEvent{window, WallTimeOfTick(eventTime), eventTime});
        s_instance->Deliver();
    }

    // In order, one at a time: anything that lets messages through while a
    // change is logged (a message box, say) may bring the next event here,
    // and that one waits in the queue for its turn.
    void Deliver()
    {
        if (m_delivering)
            return;
        while (!m_queue.empty())
        {
            m_current = m_queue.front();
            m_queue.pop_front();
            m_delivering = true;
            // A burst of events can hold the timer back for longer than a
            // lone sample's gap; the samples after it are still regular.
            m_lastAsked = ::GetTickCount();
            Answer(m_current.window);
            if (m_onChange)
                m_onChange();
            m_delivering = false;
        }
    }

    // The hook procedure has no context argument; there is one platform.
    static Win32WindowPlatform* s_instance;
    HWINEVENTHOOK m_hook = nullptr;
    std::function<void()> m_onChange;
    std::deque<ForegroundEvent> m_queue;
    ForegroundEvent m_current{nullptr, wxDateTime(), 0};
    bool m_delivering = false;
    // The last foreground answered, and a newer one not yet answered.
    HWND m_answered = nullptr;
    HWND m_pending = nullptr;
    DWORD m_pendingSince = 0;
    DWORD m_lastAsked = 0;
    wxDateTime m_pendingSinceWall;
    // For the sample that takes a change no event told: when it was first seen.
    wxDateTime m_sampledSince;
    // The tick of the change a sample answered last.
    DWORD m_answeredTick = 0;
    ProcessNameCache m_names;
};

Win32WindowPlatform* Win32WindowPlatform::s_instance = nullptr;
}  // namespace

std::unique_ptr<WindowPlatform> CreateWindowPlatform()
{
    return std::make_unique<Win32WindowPlatform>();
}

// Every top-level window of the desktop is in reach here, and stays so.
wxString WindowTrackingNotice()
{
    return wxString();
}

void OnWindowTrackingNoticeChanged(std::function<void()>) {}

// Every window is within reach on Windows.
void PrepareDisplay()
{
}
