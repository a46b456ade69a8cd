// Win32 side of the platform: the plain window functions, the Tool Help
// module snapshot and the process image name, one call each.
#include "platform/window_tracking.h"

#include <windows.h>
#include <tlhelp32.h>

#include <cstring>

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

class Win32WindowPlatform final : public WindowPlatform
{
public:
    WindowHandle ForegroundWindow() override
    {
        return reinterpret_cast<WindowHandle>(::GetForegroundWindow());
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
        const HANDLE snapshot = ::CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, static_cast<DWORD>(pid));
        if (snapshot != INVALID_HANDLE_VALUE)
        {
            MODULEENTRY32W entry;
            std::memset(&entry, 0, sizeof entry);
            entry.dwSize = sizeof entry;
            const BOOL found = ::Module32FirstW(snapshot, &entry);
            ::CloseHandle(snapshot);
            // The first module of a process is its executable.
            if (found && entry.szModule[0] != L'\0')
            {
                name = wxString(entry.szModule);
                return true;
            }
        }
        // The snapshot needs the right to read the process's memory, which
        // an elevated or another user's process refuses, and a 32-bit build
        // cannot read a 64-bit process's modules; the image name needs only
        // the limited query right.
        wxString path;
        if (!ProcessExecutablePath(pid, path))
            return false;
        name = path.AfterLast(L'\\');
        return !name.empty();
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
        const HANDLE process =
            ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
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
    // message loop; the samples themselves stay cheap local calls here.
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
    static void CALLBACK OnWinEvent(HWINEVENTHOOK, DWORD event, HWND, LONG, LONG, DWORD, DWORD)
    {
        if (event == EVENT_SYSTEM_FOREGROUND && s_instance && s_instance->m_onChange)
            s_instance->m_onChange();
    }

    // The hook procedure has no context argument; there is one platform.
    static Win32WindowPlatform* s_instance;
    HWINEVENTHOOK m_hook = nullptr;
    std::function<void()> m_onChange;
};

Win32WindowPlatform* Win32WindowPlatform::s_instance = nullptr;
}  // namespace

std::unique_ptr<WindowPlatform> CreateWindowPlatform()
{
    return std::make_unique<Win32WindowPlatform>();
}

// Every top-level window of the desktop is in reach here.
wxString WindowTrackingNotice()
{
    return wxString();
}
