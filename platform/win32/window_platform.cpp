// Win32 side of the platform: the plain window functions, foreground events
// queued as they come, the top-level windows that have just appeared, the
// Tool Help module snapshot and process image name, read once per process,
// and the process a console window is drawn for.
#include "platform/window_tracking.h"

#include <windows.h>
#include <tlhelp32.h>

#include <chrono>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <deque>
#include <iterator>
#include <optional>
#include <unordered_map>
#include <vector>

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

// The processes running now, from one Tool Help snapshot, with their
// parents and file names; their starts are read when first asked for.
class ProcessListing
{
public:
    struct Process
    {
        DWORD pid;
        DWORD parent;
        wxString exe;
        std::optional<std::int64_t> started;
        bool startRead;
    };

    ProcessListing()
    {
        const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        if (snapshot == INVALID_HANDLE_VALUE)
            return;
        PROCESSENTRY32W entry;
        std::memset(&entry, 0, sizeof entry);
        entry.dwSize = sizeof entry;
        for (BOOL ok = ::Process32FirstW(snapshot, &entry); ok; ok = ::Process32NextW(snapshot, &entry))
        {
            m_processes.push_back(
                Process{entry.th32ProcessID, entry.th32ParentProcessID, wxString(entry.szExeFile), {}, false});
        }
        ::CloseHandle(snapshot);
    }

    Process* Find(DWORD pid)
    {
        for (Process& process : m_processes)
        {
            if (process.pid == pid)
                return &process;
        }
        return nullptr;
    }

    std::optional<std::int64_t> Started(Process& process)
    {
        if (!process.startRead)
        {
            std::int64_t started = 0;
            unsigned long parent = 0;
            if (ReadProcessStart(process.pid, started, parent))
                process.started = started;
            process.startRead = true;
        }
        return process.started;
    }

    // The process's parent, unless the id names a later process than it.
    Process* Parent(Process& child)
    {
        Process* parent = child.parent != child.pid ? Find(child.parent) : nullptr;
        if (!parent || !Started(*parent) || !Started(child) || *Started(*parent) > *Started(child))
            return nullptr;
        return parent;
    }

    // What a console host starts (under Wine, the desktop process when
    // there was none) is not run in the console.
    bool DescendsFrom(Process& process, const Process& ancestor)
    {
        Process* at = &process;
        for (size_t depth = 0; depth < m_processes.size(); ++depth)
        {
            at = Parent(*at);
            if (!at || IsConsoleHost(at->exe))
                return false;
            if (at->pid == ancestor.pid)
                return true;
        }
        return false;
    }

    // The last started of those for which within(process) holds, other
    // than console hosts (no client of a console, even as the child of
    // one); null when none.
    template <typename Within>
    Process* Newest(Within within)
    {
        Process* newest = nullptr;
        for (Process& process : m_processes)
        {
            if (IsConsoleHost(process.exe) || !within(process) || !Started(process))
                continue;
            if (!newest || *Started(process) >= *Started(*newest))
                newest = &process;
        }
        return newest;
    }

    static bool IsConsoleHost(const wxString& exe)
    {
        return exe.CmpNoCase(L"conhost.exe") == 0 || exe.CmpNoCase(L"OpenConsole.exe") == 0;
    }

private:
    std::vector<Process> m_processes;
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

    // Whether the window was created or shown within withinMs before its
    // change.  Wine 8 raises EVENT_OBJECT_CREATE but no EVENT_OBJECT_SHOW:
    // there a window created hidden long ago and shown now is not new.
    std::optional<bool> WindowIsNew(WindowHandle window, unsigned withinMs) override
    {
        if (!m_appearHook)
            return std::nullopt;
        const auto found = m_appeared.find(ToHwnd(window));
        if (found == m_appeared.end())
            return false;
        // The change's moment on the steady clock, from its tick.
        const DWORD now = ::GetTickCount();
        DWORD change = m_delivering ? m_current.tick : m_answeredTick;
        if (change == 0 || static_cast<DWORD>(now - change) > 60 * 1000)
            change = now;
        const SteadyClock::time_point changed =
            SteadyClock::now() - std::chrono::milliseconds(static_cast<DWORD>(now - change));
        return found->second >= changed - std::chrono::milliseconds(withinMs);
    }

    // A console window belongs to the process that draws it, not to the
    // program running in it.
    unsigned long WindowClientProcess(WindowHandle window, wxString& how) override
    {
        const wxString kind = WindowClass(window);
        const unsigned long host = WindowProcessId(window);
        if (host == 0)
            return 0;
        // The classic console: the system names the client as the window's owner.
        if (kind == L"ConsoleWindowClass")
        {
            how = L"window owner";
            return host;
        }
        const bool pseudo = kind == L"PseudoConsoleWindow" || kind == L"CASCADIA_HOSTING_WINDOW_CLASS";
        if (!pseudo && kind != L"WineConsoleClass")
            return 0;
        ProcessListing listing;
        ProcessListing::Process* hostProcess = listing.Find(static_cast<DWORD>(host));
        if (!hostProcess)
            return 0;
        if (pseudo)
        {
            // A terminal starts the programs it shows itself.
            ProcessListing::Process* child = listing.Newest(
                [&](ProcessListing::Process& p) { return listing.Parent(p) == hostProcess; });
            if (!child)
                return 0;
            how = L"newest child of " + hostProcess->exe;
            return child->pid;
        }
        // Wine's conhost.exe is started by the console's first program,
        // and the programs that one runs are its children.
        ProcessListing::Process* first = listing.Parent(*hostProcess);
        if (!first)
            return 0;
        ProcessListing::Process* newest = listing.Newest(
            [&](ProcessListing::Process& p) { return listing.DescendsFrom(p, *first); });
        if (newest)
        {
            how = L"newest process under " + first->exe + L", the parent of " + hostProcess->exe;
            return newest->pid;
        }
        how = L"parent of " + hostProcess->exe;
        return first->pid;
    }

    // The shell tells a top-level window of ours of every taskbar button
    // flashing (HSHELL_FLASH): the system refusing a background program the
    // foreground, or FlashWindowEx.  A hidden window, never shown.
    void WatchAttempts(std::function<void(WindowHandle, AttemptKind)> attempted) override
    {
        m_onAttempt = std::move(attempted);
        if (m_shellWindow || !m_onAttempt)
            return;
        s_instance = this;
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = &Win32WindowPlatform::OnShellMessage;
        windowClass.hInstance = ::GetModuleHandleW(nullptr);
        windowClass.lpszClassName = L"CorvalinShellHook";
        ::RegisterClassW(&windowClass);
        s_shellMessage = ::RegisterWindowMessageW(L"SHELLHOOK");
        m_shellWindow = ::CreateWindowExW(WS_EX_TOOLWINDOW, L"CorvalinShellHook", L"", WS_POPUP, 0, 0, 0, 0,
                                          nullptr, nullptr, windowClass.hInstance, nullptr);
        if (m_shellWindow && s_shellMessage && ::RegisterShellHookWindow(m_shellWindow))
            return;
        std::fprintf(stderr, "Corvalin: this system tells no flashing taskbar buttons "
                             "(RegisterShellHookWindow failed): refused focus requests are not seen.\n");
        if (m_shellWindow)
            ::DestroyWindow(m_shellWindow);
        m_shellWindow = nullptr;
    }
    bool TellsAttempts() const override { return m_shellWindow != nullptr; }

    ~Win32WindowPlatform() override
    {
        if (m_shellWindow)
        {
            ::DeregisterShellHookWindow(m_shellWindow);
            ::DestroyWindow(m_shellWindow);
        }
        if (m_appearHook)
            ::UnhookWinEvent(m_appearHook);
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
        // Windows appearing and going, for WindowIsNew.  The range holds
        // EVENT_OBJECT_CREATE, _DESTROY and _SHOW.
        if (m_hook)
        {
            m_appearHook = ::SetWinEventHook(EVENT_OBJECT_CREATE, EVENT_OBJECT_SHOW, nullptr,
                                             &Win32WindowPlatform::OnAppearEvent, 0, 0, WINEVENT_OUTOFCONTEXT);
        }
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

    static LRESULT CALLBACK OnShellMessage(HWND window, UINT message, WPARAM code, LPARAM about)
    {
        if (message == s_shellMessage && s_shellMessage != 0 && code == HSHELL_FLASH && s_instance &&
            s_instance->m_onAttempt && about)
            s_instance->m_onAttempt(static_cast<WindowHandle>(about), AttemptKind::Flash);
        return ::DefWindowProcW(window, message, code, about);
    }

    static void CALLBACK OnWinEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG, LONG, DWORD,
                                    DWORD eventTime)
    {
        // No window named: the next tick reads what is in front.
        if (event != EVENT_SYSTEM_FOREGROUND || !window || !s_instance)
            return;
        s_instance->m_queue.push_back(ForegroundEvent{window, WallTimeOfTick(eventTime), eventTime});
        s_instance->Deliver();
    }

    // Only top-level windows count; a destroyed window's handle may come
    // back for another one, which is then new.
    static void CALLBACK OnAppearEvent(HWINEVENTHOOK, DWORD event, HWND window, LONG object, LONG child,
                                       DWORD, DWORD)
    {
        if (!s_instance || !window || object != OBJID_WINDOW || child != CHILDID_SELF)
            return;
        if (event == EVENT_OBJECT_DESTROY)
        {
            s_instance->m_appeared.erase(window);
            return;
        }
        if ((event == EVENT_OBJECT_CREATE || event == EVENT_OBJECT_SHOW) && ::GetAncestor(window, GA_ROOT) == window)
            s_instance->NoteAppeared(window);
    }

    // Kept only as long as a change could still ask, and never more than a
    // burst of pop-ups fills.
    void NoteAppeared(HWND window)
    {
        const SteadyClock::time_point now = SteadyClock::now();
        for (auto it = m_appeared.begin(); it != m_appeared.end();)
            it = now - it->second > kKeepAppeared ? m_appeared.erase(it) : std::next(it);
        if (m_appeared.size() >= kMaxAppeared)
        {
            auto oldest = m_appeared.begin();
            for (auto it = m_appeared.begin(); it != m_appeared.end(); ++it)
            {
                if (it->second < oldest->second)
                    oldest = it;
            }
            m_appeared.erase(oldest);
        }
        m_appeared[window] = now;
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
    HWINEVENTHOOK m_appearHook = nullptr;
    using SteadyClock = std::chrono::steady_clock;
    static constexpr size_t kMaxAppeared = 128;
    static constexpr std::chrono::seconds kKeepAppeared{10};
    std::unordered_map<HWND, SteadyClock::time_point> m_appeared;
    std::function<void()> m_onChange;
    std::function<void(WindowHandle, AttemptKind)> m_onAttempt;
    HWND m_shellWindow = nullptr;
    static inline UINT s_shellMessage = 0;
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
