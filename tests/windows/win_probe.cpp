// A small Win32 console tool that the Wine tests use to look at and drive
// Corvalin from outside, the way another program on the desktop would:
// window lookup, WM_GETTEXT, WM_COMMAND, message boxes, tray icons,
// and windows of its own that it brings to the foreground.
//
// Handles are printed and taken as decimal numbers.  Exit status 0 means
// the request succeeded, 1 that it failed or timed out, 2 a usage error.
#include <windows.h>
#include <commctrl.h>
#include <richedit.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

namespace
{
void PrintUtf8(const std::wstring& text)
{
    if (text.empty())
        return;
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &bytes[0], size,
                        nullptr, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

HWND ParseHwnd(const wchar_t* text)
{
    return reinterpret_cast<HWND>(static_cast<INT_PTR>(std::wcstoll(text, nullptr, 10)));
}

long long HwndValue(HWND window)
{
    return static_cast<long long>(reinterpret_cast<INT_PTR>(window));
}

// Lets the process's own windows paint and answer while we wait.
void PumpFor(DWORD milliseconds)
{
    const DWORD end = GetTickCount() + milliseconds;
    for (;;)
    {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        const DWORD now = GetTickCount();
        if (static_cast<LONG>(end - now) <= 0)
            return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, end - now, QS_ALLINPUT);
    }
}

std::wstring WindowText(HWND window)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length))
        return std::wstring();
    std::vector<wchar_t> buffer(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                        SMTO_ABORTIFHUNG, 5000, &copied);
    return std::wstring(buffer.data(), copied);
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[256] = L"";
    GetClassNameW(window, name, 256);
    return name;
}

struct ChildSearch
{
    int id;
    HWND found;
};

BOOL CALLBACK FindChildById(HWND child, LPARAM param)
{
    auto* search = reinterpret_cast<ChildSearch*>(param);
    if (GetDlgCtrlID(child) == search->id)
    {
        search->found = child;
        return FALSE;
    }
    return TRUE;
}

// EnumChildWindows walks all descendants, so panes and sizers in between do
// not matter.
HWND ChildById(HWND parent, int id)
{
    ChildSearch search{id, nullptr};
    EnumChildWindows(parent, FindChildById, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

struct ClassSearch
{
    const wchar_t* className;
    HWND found;
};

BOOL CALLBACK FindChildByClass(HWND child, LPARAM param)
{
    auto* search = reinterpret_cast<ClassSearch*>(param);
    if (ClassOf(child) == search->className)
    {
        search->found = child;
        return FALSE;
    }
    return TRUE;
}

// What a top-level window is drawn for: the DPI the system gives it (from
// GetDpiForWindow, which only Windows 10 and later have, hence looked up),
// the screen's, and the size of its native toolbar's buttons.  The toolbar
// keeps its image list in its own process, out of our reach; a button is its
// image plus the padding the toolbar reports, so the image size follows.
int Dpi(HWND window)
{
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow)
        std::printf("window-dpi=%u\n", getDpiForWindow(window));
    else
        std::printf("window-dpi=none\n");
    // gdi32 is looked up too, so the probe links nothing but its usual libraries.
    using GetDeviceCapsFn = int(WINAPI*)(HDC, int);
    const auto getDeviceCaps = reinterpret_cast<GetDeviceCapsFn>(
        reinterpret_cast<void*>(GetProcAddress(LoadLibraryW(L"gdi32.dll"), "GetDeviceCaps")));
    HDC screen = GetDC(nullptr);
    std::printf("screen-dpi=%d\n", getDeviceCaps ? getDeviceCaps(screen, LOGPIXELSY) : 0);
    ReleaseDC(nullptr, screen);

    ClassSearch search{TOOLBARCLASSNAMEW, nullptr};
    EnumChildWindows(window, FindChildByClass, reinterpret_cast<LPARAM>(&search));
    if (!search.found)
    {
        std::printf("toolbar=none\n");
        return 1;
    }
    DWORD_PTR button = 0;
    DWORD_PTR padding = 0;
    if (!SendMessageTimeoutW(search.found, TB_GETBUTTONSIZE, 0, 0, SMTO_ABORTIFHUNG, 5000, &button) ||
        !SendMessageTimeoutW(search.found, TB_GETPADDING, 0, 0, SMTO_ABORTIFHUNG, 5000, &padding))
        return 1;
    std::printf("toolbar-button=%ux%u\n", LOWORD(button), HIWORD(button));
    std::printf("toolbar-padding=%ux%u\n", LOWORD(padding), HIWORD(padding));
    std::printf("toolbar-image=%dx%d\n", static_cast<int>(LOWORD(button)) - LOWORD(padding),
                static_cast<int>(HIWORD(button)) - HIWORD(padding));
    return 0;
}

struct TopSearch
{
    const wchar_t* className;
    const wchar_t* title;
    bool visibleOnly;
    std::vector<HWND> found;
};

BOOL CALLBACK FindTopLevel(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<TopSearch*>(param);
    if (search->visibleOnly && !IsWindowVisible(window))
        return TRUE;
    if (search->className && ClassOf(window) != search->className)
        return TRUE;
    // "*" stands for any title.
    if (search->title && std::wcscmp(search->title, L"*") != 0 && WindowText(window) != search->title)
        return TRUE;
    search->found.push_back(window);
    return TRUE;
}

std::vector<HWND> TopLevels(const wchar_t* className, const wchar_t* title, bool visibleOnly)
{
    TopSearch search{className, title, visibleOnly, {}};
    EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitTopLevel(const wchar_t* className, const wchar_t* title, DWORD timeout)
{
    const DWORD end = GetTickCount() + timeout;
    for (;;)
    {
        const std::vector<HWND> found = TopLevels(className, title, true);
        if (!found.empty())
            return found.front();
        if (static_cast<LONG>(end - GetTickCount()) <= 0)
            return nullptr;
        Sleep(100);
    }
}

struct ClassCount
{
    const wchar_t* className;
    unsigned count;
    HWND first;
};

BOOL CALLBACK CountVisibleOfClass(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<ClassCount*>(param);
    if (IsWindowVisible(window) && ClassOf(window) == search->className)
    {
        if (search->count++ == 0)
            search->first = window;
    }
    return TRUE;
}

BOOL CALLBACK CountInTree(HWND top, LPARAM param)
{
    CountVisibleOfClass(top, param);
    EnumChildWindows(top, CountVisibleOfClass, param);
    return TRUE;
}

// Visible windows of a class anywhere on the desktop, children included:
// Wine docks tray icons as child windows inside the X tray host.
ClassCount FindEverywhere(const wchar_t* className)
{
    ClassCount search{className, 0, nullptr};
    EnumWindows(CountInTree, reinterpret_cast<LPARAM>(&search));
    return search;
}

LRESULT CALLBACK ProbeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY)
    {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// Registers a window class of the probe's own and gives back its name; a
// second registration of the same name fails harmlessly.
const wchar_t* ProbeClass(const wchar_t* name, WNDPROC procedure, int background = COLOR_WINDOW)
{
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(background + 1));
    windowClass.lpszClassName = name;
    RegisterClassW(&windowClass);
    return name;
}

// show TITLE MS: a window of our own in the foreground for MS milliseconds.
int Show(const wchar_t* title, DWORD milliseconds)
{
    HWND window = CreateWindowExW(0, ProbeClass(L"CorvalinProbeWindow", ProbeWindowProc), title,
                                  WS_OVERLAPPEDWINDOW, 100, 100, 320, 200, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    if (!window)
        return 1;
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    SetForegroundWindow(window);
    std::printf("%lld\n", HwndValue(window));
    std::fflush(stdout);
    PumpFor(milliseconds);
    DestroyWindow(window);
    return 0;
}

// A background program asking for attention: a window shown without the
// focus whose taskbar button flashes (FlashWindowEx), as Windows does for a
// program it refuses the foreground.
int Flash(const wchar_t* title, DWORD milliseconds)
{
    HWND window = CreateWindowExW(0, ProbeClass(L"CorvalinProbeWindow", ProbeWindowProc), title,
                                  WS_OVERLAPPEDWINDOW, 140, 140, 320, 200, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    if (!window)
        return 1;
    ShowWindow(window, SW_SHOWNOACTIVATE);
    std::printf("%lld\n", HwndValue(window));
    std::fflush(stdout);
    PumpFor(200);
    FLASHWINFO flash{sizeof flash, window, FLASHW_ALL, 3, 0};
    FlashWindowEx(&flash);
    PumpFor(milliseconds);
    DestroyWindow(window);
    return 0;
}

HWND ProbeWindow(const wchar_t* title, int x)
{
    HWND window = CreateWindowExW(0, ProbeClass(L"CorvalinProbeSwitch", DefWindowProcW), title,
                                  WS_OVERLAPPEDWINDOW, x, 100, 240, 160, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    if (window)
        ShowWindow(window, SW_SHOW);
    return window;
}

// Wine does not raise EVENT_SYSTEM_FOREGROUND itself; an injected event is
// what Windows would have sent for the same change.
void TakeForeground(HWND window, bool inject)
{
    SetForegroundWindow(window);
    if (inject)
        NotifyWinEvent(EVENT_SYSTEM_FOREGROUND, window, OBJID_WINDOW, CHILDID_SELF);
}

// Padded with dots to LENGTH characters when that is longer.
std::wstring Padded(std::wstring title, size_t length)
{
    if (title.size() < length)
        title.append(length - title.size(), L'.');
    return title;
}

// switch HOLD-MS THIEF-MS COUNT [inject|plain] [TITLE-LENGTH]: two windows
// of our own, "home" and "thief" (their titles padded to TITLE-LENGTH);
// COUNT times home holds the foreground for HOLD-MS, then the thief takes
// it for THIEF-MS.  Prints both handles first, then waits half a second
// before the first switch.
int Switch(DWORD hold, DWORD thief, long long count, bool inject, size_t titleLength)
{
    HWND home = ProbeWindow(Padded(L"Corvalin Probe Home", titleLength).c_str(), 100);
    HWND other = ProbeWindow(Padded(L"Corvalin Probe Thief", titleLength).c_str(), 400);
    if (!home || !other)
        return 1;
    std::printf("%lld %lld\n", HwndValue(home), HwndValue(other));
    std::fflush(stdout);
    PumpFor(500);
    for (long long i = 0; i < count; ++i)
    {
        TakeForeground(home, inject);
        PumpFor(hold);
        TakeForeground(other, inject);
        PumpFor(thief);
    }
    TakeForeground(home, inject);
    PumpFor(500);
    DestroyWindow(other);
    DestroyWindow(home);
    return 0;
}

bool g_keyed = false;

LRESULT CALLBACK NoteKeyProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_KEYDOWN)
        g_keyed = true;
    return DefWindowProcW(window, message, wParam, lParam);
}

// unasked PAUSE-MS MS: "Typed" in front; PAUSE-MS after a key reaches it
// (the test sends none meanwhile) the program alone shows "Unasked" active,
// beside it, so that a click on Typed can take the foreground back.  Prints
// each handle as its window is shown; both stay MS longer.
int Unasked(DWORD pause, DWORD milliseconds)
{
    HWND typed = CreateWindowExW(0, ProbeClass(L"CorvalinProbeKeys", NoteKeyProc),
                                 L"Corvalin Probe Typed", WS_OVERLAPPEDWINDOW, 100, 100, 240, 160,
                                 nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!typed)
        return 1;
    ShowWindow(typed, SW_SHOW);
    SetForegroundWindow(typed);
    std::printf("%lld\n", HwndValue(typed));
    std::fflush(stdout);
    for (int waited = 0; !g_keyed; waited += 50)
    {
        if (waited >= 20000)
            return 1;
        PumpFor(50);
    }
    PumpFor(pause);
    HWND unasked = ProbeWindow(L"Corvalin Probe Unasked", 400);
    if (!unasked || !SetForegroundWindow(unasked))
        return 1;
    std::printf("%lld\n", HwndValue(unasked));
    std::fflush(stdout);
    PumpFor(milliseconds);
    DestroyWindow(unasked);
    DestroyWindow(typed);
    return 0;
}

// Types text into the console of process pid, as keys a user presses.
bool TypeIntoConsole(DWORD pid, const std::wstring& text)
{
    FreeConsole();
    if (!AttachConsole(pid))
        return false;
    HANDLE input = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
    std::vector<INPUT_RECORD> keys;
    for (wchar_t c : text)
    {
        INPUT_RECORD key{};
        key.EventType = KEY_EVENT;
        key.Event.KeyEvent.wRepeatCount = 1;
        key.Event.KeyEvent.wVirtualKeyCode = c == L'\r' ? VK_RETURN : 0;
        key.Event.KeyEvent.uChar.UnicodeChar = c;
        key.Event.KeyEvent.bKeyDown = TRUE;
        keys.push_back(key);
        key.Event.KeyEvent.bKeyDown = FALSE;
        keys.push_back(key);
    }
    DWORD written = 0;
    const bool typed = input != INVALID_HANDLE_VALUE &&
                       WriteConsoleInputW(input, keys.data(), static_cast<DWORD>(keys.size()), &written) &&
                       written == keys.size();
    if (input != INVALID_HANDLE_VALUE)
        CloseHandle(input);
    FreeConsole();
    return typed;
}

// console MS: cmd.exe in a console window of its own, which takes the
// foreground, for MS milliseconds.  Prints cmd.exe's pid and our own; once
// another window has taken the foreground from the console, types a ping
// into it, which cmd.exe runs as its child, and prints "typed".
int Console(DWORD milliseconds)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    wchar_t command[] = L"cmd.exe /k echo Corvalin Probe Console";
    if (!CreateProcessW(nullptr, command, nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr, nullptr,
                        &startup, &started))
        return 1;
    std::printf("%lu %lu\n", started.dwProcessId, GetCurrentProcessId());
    std::fflush(stdout);
    const DWORD end = GetTickCount() + milliseconds;
    bool inFront = false;
    bool typed = false;
    while (static_cast<LONG>(end - GetTickCount()) > 0 && WaitForSingleObject(started.hProcess, 100) == WAIT_TIMEOUT)
    {
        const std::wstring kind = ClassOf(GetForegroundWindow());
        const bool console = kind == L"WineConsoleClass" || kind == L"ConsoleWindowClass";
        if (!typed && inFront && !console && TypeIntoConsole(started.dwProcessId, L"ping -n 5 127.0.0.1\r"))
        {
            typed = true;
            std::printf("typed\n");
            std::fflush(stdout);
        }
        inFront = inFront || console;
    }
    TerminateProcess(started.hProcess, 0);
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    return typed ? 0 : 1;
}

HWND g_seenForeground = nullptr;

void CALLBACK NoteForeground(HWINEVENTHOOK, DWORD, HWND window, LONG, LONG, DWORD, DWORD)
{
    g_seenForeground = window;
}

// native-events: "yes" when the system raises EVENT_SYSTEM_FOREGROUND by
// itself for a plain SetForegroundWindow, "no" when it does not.
int NativeEvents()
{
    HWND first = ProbeWindow(L"Corvalin Probe Native 1", 100);
    HWND second = ProbeWindow(L"Corvalin Probe Native 2", 400);
    if (!first || !second)
        return 1;
    SetForegroundWindow(first);
    PumpFor(300);
    HWINEVENTHOOK hook = SetWinEventHook(EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, nullptr,
                                         NoteForeground, 0, 0, WINEVENT_OUTOFCONTEXT);
    if (!hook)
        return 1;
    SetForegroundWindow(second);
    PumpFor(1000);
    const bool second_in_front = GetForegroundWindow() == second;
    UnhookWinEvent(hook);
    DestroyWindow(second);
    DestroyWindow(first);
    if (!second_in_front)
        return 1;
    std::printf(g_seenForeground == second ? "yes\n" : "no\n");
    return 0;
}

// answer CAPTION BUTTON-ID MS: waits for a dialog box with that caption
// ("*" for any), prints its caption and texts, and presses the button.
int Answer(const wchar_t* caption, int buttonId, DWORD timeout)
{
    HWND dialog = WaitTopLevel(L"#32770", caption, timeout);
    if (!dialog)
    {
        std::fprintf(stderr, "no dialog box\n");
        return 1;
    }
    PrintUtf8(L"caption: " + WindowText(dialog) + L"\n");
    HWND child = nullptr;
    while ((child = FindWindowExW(dialog, child, nullptr, nullptr)) != nullptr)
    {
        if (ClassOf(child) == L"Static")
        {
            PrintUtf8(WindowText(child));
            std::printf("\n");
        }
    }
    std::fflush(stdout);
    HWND button = GetDlgItem(dialog, buttonId);
    if (button)
        SendMessageTimeoutW(button, BM_CLICK, 0, 0, SMTO_ABORTIFHUNG, 5000, nullptr);
    else
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), 0);
    // The box must be gone, or the click did not land.
    const DWORD end = GetTickCount() + 5000;
    while (IsWindow(dialog) && IsWindowVisible(dialog))
    {
        if (static_cast<LONG>(end - GetTickCount()) <= 0)
        {
            std::fprintf(stderr, "dialog box still open\n");
            return 1;
        }
        Sleep(50);
    }
    return 0;
}

// The version resource's strings that Properties > Details shows, one
// "Name=value" a line, and the fixed file version.
int Version(const wchar_t* file)
{
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(file, &ignored);
    if (size == 0)
        return 1;
    std::vector<unsigned char> data(size);
    if (!GetFileVersionInfoW(file, 0, size, data.data()))
        return 1;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) && fixed)
        std::printf("Fixed=%d.%d.%d.%d\n", HIWORD(fixed->dwFileVersionMS),
                    LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS),
                    LOWORD(fixed->dwFileVersionLS));
    for (const wchar_t* name : {L"CompanyName", L"ProductName", L"FileVersion", L"ProductVersion",
                                L"OriginalFilename"})
    {
        wchar_t* value = nullptr;
        const std::wstring path = std::wstring(L"\\StringFileInfo\\040904b0\\") + name;
        if (VerQueryValueW(data.data(), path.c_str(), reinterpret_cast<void**>(&value), &length) &&
            value)
        {
            PrintUtf8(std::wstring(name) + L"=" + value + L"\n");
        }
    }
    return 0;
}

// An event's description as Event Viewer makes it: the message ID's text
// from the file's message table, with the insertion strings put in.
int EventText(const wchar_t* file, DWORD id, const std::vector<const wchar_t*>& strings)
{
    std::vector<DWORD_PTR> arguments;
    for (const wchar_t* string : strings)
        arguments.push_back(reinterpret_cast<DWORD_PTR>(string));
    wchar_t text[4096];
    const DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY,
                                        LoadLibraryExW(file, nullptr, LOAD_LIBRARY_AS_DATAFILE), id,
                                        0, text, 4096, reinterpret_cast<va_list*>(arguments.data()));
    PrintUtf8(std::wstring(text, length));
    return length ? 0 : 1;
}

// The log's rich edit as wxMSW makes it for a multi-line, rich, auto-URL,
// no-hide-selection wxTextCtrl, and the frame around it.
struct LogShape
{
    std::wstring className;
    DWORD style;
    DWORD exStyle;
    LPARAM eventMask;
    SIZE frame;
    RECT control;  // in the frame's client area
};

BOOL CALLBACK FindRichEdit(HWND child, LPARAM param)
{
    auto* search = reinterpret_cast<ClassSearch*>(param);
    const std::wstring name = ClassOf(child);
    if (_wcsicmp(name.c_str(), L"RICHEDIT50W") == 0 || _wcsicmp(name.c_str(), L"RichEdit20W") == 0)
    {
        search->found = child;
        return FALSE;
    }
    return TRUE;
}

// Without a frame to copy: what wxMSW asks for, rich edit 4.1 where
// msftedit.dll loads, else 2.0 or 3.0.
LogShape DefaultLogShape()
{
    LogShape shape;
    shape.className = LoadLibraryW(L"msftedit.dll") ? L"RICHEDIT50W" : L"RichEdit20W";
    shape.style = WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_MULTILINE | ES_WANTRETURN | WS_VSCROLL |
                  ES_AUTOVSCROLL | ES_DISABLENOSCROLL | ES_NOHIDESEL | ES_LEFT;
    shape.exStyle = WS_EX_CLIENTEDGE;
    shape.eventMask = ENM_CHANGE | ENM_LINK;
    shape.frame = SIZE{800, 600};
    shape.control = RECT{0, 30, 600, 540};
    return shape;
}

// The class, styles, event mask and sizes of the log in another program's
// frame, so that the same control is measured.
bool CopyLogShape(HWND frame, LogShape& shape)
{
    ClassSearch search{nullptr, nullptr};
    EnumChildWindows(frame, FindRichEdit, reinterpret_cast<LPARAM>(&search));
    RECT outer;
    RECT control;
    if (!search.found || !GetWindowRect(frame, &outer) || !GetWindowRect(search.found, &control))
        return false;
    shape.className = ClassOf(search.found);
    LoadLibraryW(_wcsicmp(shape.className.c_str(), L"RICHEDIT50W") == 0 ? L"msftedit.dll" : L"riched20.dll");
    shape.style = static_cast<DWORD>(GetWindowLongW(search.found, GWL_STYLE)) | WS_VISIBLE;
    shape.exStyle = static_cast<DWORD>(GetWindowLongW(search.found, GWL_EXSTYLE));
    shape.eventMask = SendMessageW(search.found, EM_GETEVENTMASK, 0, 0);
    shape.frame = SIZE{outer.right - outer.left, outer.bottom - outer.top};
    MapWindowPoints(nullptr, frame, reinterpret_cast<POINT*>(&control), 2);
    shape.control = control;
    return true;
}

long long Ticks()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

// append-cost LINES [FRAME]: what a bare Win32 program pays to add a line
// like Corvalin's to the end of the same rich edit, in a frame of the same
// size (class, styles and sizes copied from FRAME, Corvalin's, when given).
// Messages are pumped between the lines, as between events.  Prints the
// median and the mean in microseconds; fails when the end is out of view
// after the last line.
int AppendCost(long long lines, HWND model)
{
    LogShape shape = DefaultLogShape();
    if (model && !CopyLogShape(model, shape))
        return 1;
    HWND frame = CreateWindowExW(0, ProbeClass(L"CorvalinProbeLog", DefWindowProcW, COLOR_BTNFACE),
                                 L"Corvalin Probe Log", WS_OVERLAPPEDWINDOW, 120, 80,
                                 shape.frame.cx, shape.frame.cy, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    if (!frame)
        return 1;
    HWND log = CreateWindowExW(shape.exStyle, shape.className.c_str(), L"", shape.style,
                               shape.control.left, shape.control.top,
                               shape.control.right - shape.control.left,
                               shape.control.bottom - shape.control.top, frame, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    if (!log)
        return 1;
    // Set up as the toolkit does: URLs detected, EN_CHANGE and EN_LINK
    // asked for, the message font; and no limit to the text.
    SendMessageW(log, EM_AUTOURLDETECT, TRUE, 0);
    SendMessageW(log, EM_SETEVENTMASK, 0, shape.eventMask);
    // gdi32 is looked up, as in Dpi.
    using CreateFontIndirectFn = HFONT(WINAPI*)(const LOGFONTW*);
    const auto createFontIndirect = reinterpret_cast<CreateFontIndirectFn>(
        reinterpret_cast<void*>(GetProcAddress(LoadLibraryW(L"gdi32.dll"), "CreateFontIndirectW")));
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    if (createFontIndirect && SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0))
        SendMessageW(log, WM_SETFONT, reinterpret_cast<WPARAM>(createFontIndirect(&metrics.lfMessageFont)), TRUE);
    SendMessageW(log, EM_EXLIMITTEXT, 0, 0x7FFFFFFF);
    // On screen but not in front, as Corvalin's frame while other windows
    // take the foreground.
    ShowWindow(frame, SW_SHOWNOACTIVATE);
    UpdateWindow(frame);
    PumpFor(300);

    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> costs;
    const wchar_t* titles[] = {L"Corvalin Probe Home", L"Corvalin Probe Thief"};
    for (long long i = 0; i < lines; ++i)
    {
        wchar_t line[200];
        std::swprintf(line, 200, L"%03lld.  %02lld:%02lld:%03lld     win_probe.exe - %ls (%lld) \r\n",
                      i + 1, (i / 60) % 60, i % 60, (i * 37) % 1000, titles[i % 2], 65600 + 2 * (i % 2));
        // The fastest way measured under Wine: with its redraw off the
        // control neither scrolls nor paints at once, yet still moves its
        // view to the caret at the end; all of it is painted afterwards.
        // Without the undo record it is slower, as the undo stack is then
        // emptied each time.
        const long long started = Ticks();
        SendMessageW(log, WM_SETREDRAW, FALSE, 0);
        CHARRANGE end{-1, -1};  // both past the end: the end
        SendMessageW(log, EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&end));
        SendMessageW(log, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(line));
        SendMessageW(log, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(log, nullptr, TRUE);
        costs.push_back(static_cast<double>(Ticks() - started) * 1e6 / static_cast<double>(frequency.QuadPart));
        PumpFor(10);
    }
    PumpFor(300);
    SCROLLINFO scroll{};
    scroll.cbSize = sizeof scroll;
    scroll.fMask = SIF_ALL;
    GetScrollInfo(log, SB_VERT, &scroll);
    const bool endInView = scroll.nPos + static_cast<int>(scroll.nPage) > scroll.nMax - 1 ||
                           static_cast<int>(scroll.nPage) > scroll.nMax - scroll.nMin;
    DestroyWindow(frame);
    if (costs.empty())
        return 1;
    double total = 0;
    for (double cost : costs)
        total += cost;
    std::sort(costs.begin(), costs.end());
    std::printf("median %.0f us, mean %.0f us over %zu lines\n", costs[(costs.size() - 1) / 2],
                total / static_cast<double>(costs.size()), costs.size());
    if (!endInView)
    {
        std::fprintf(stderr, "the end is out of view (position %d, page %u, range %d)\n", scroll.nPos,
                     scroll.nPage, scroll.nMax);
        return 1;
    }
    return 0;
}

// shows-end HWND CHILD-ID: whether the rich edit shows its last line, which
// is so when scrolling it to the bottom does not move its first visible
// line.  Its scroll bar cannot be read from another process; its lines can.
int ShowsEnd(HWND log)
{
    DWORD_PTR first = 0;
    DWORD_PTR lines = 0;
    DWORD_PTR bottom = 0;
    if (!SendMessageTimeoutW(log, EM_GETFIRSTVISIBLELINE, 0, 0, SMTO_ABORTIFHUNG, 5000, &first) ||
        !SendMessageTimeoutW(log, EM_GETLINECOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &lines) ||
        !SendMessageTimeoutW(log, WM_VSCROLL, SB_BOTTOM, 0, SMTO_ABORTIFHUNG, 5000, nullptr) ||
        !SendMessageTimeoutW(log, EM_GETFIRSTVISIBLELINE, 0, 0, SMTO_ABORTIFHUNG, 5000, &bottom))
        return 1;
    std::printf("first visible line %llu of %llu, at the bottom %llu\n", static_cast<unsigned long long>(first),
                static_cast<unsigned long long>(lines), static_cast<unsigned long long>(bottom));
    return first == bottom && lines > 1 ? 0 : 1;
}

int Usage()
{
    std::fprintf(stderr,
                 "usage: win_probe show TITLE MS | find TITLE [MS] | find-class CLASS [MS] |\n"
                 "       count CLASS|* TITLE|* | count-all CLASS | center-of CLASS |\n"
                 "       text HWND [CHILD-ID] | command HWND ID | close HWND |\n"
                 "       shows-end HWND CHILD-ID | scroll-top HWND CHILD-ID | text-limit HWND CHILD-ID |\n"
                 "       type-at-end HWND CHILD-ID LINES TEXT |\n"
                 "       visible HWND | foreground | activate HWND |\n"
                 "       clipboard | set-clipboard TEXT | clipboard-has-probe-format |\n"
                 "       answer CAPTION BUTTON-ID MS | version FILE | dpi HWND |\n"
                 "       switch HOLD-MS THIEF-MS COUNT [inject|plain] [TITLE-LENGTH] | native-events |\n"
                 "       unasked PAUSE-MS MS | append-cost LINES [FRAME] | console MS\n"
                 "       event-text FILE ID STRING...\n");
    return 2;
}
}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2)
        return Usage();
    const std::wstring verb = argv[1];
    auto number = [&](int index, long long fallback) {
        return index < argc ? std::wcstoll(argv[index], nullptr, 10) : fallback;
    };

    if (verb == L"show" && argc >= 3)
        return Show(argv[2], static_cast<DWORD>(number(3, 5000)));
    if (verb == L"flash" && argc >= 3)
        return Flash(argv[2], static_cast<DWORD>(number(3, 1500)));
    if ((verb == L"find" || verb == L"find-class") && argc >= 3)
    {
        const bool byClass = verb == L"find-class";
        HWND window = WaitTopLevel(byClass ? argv[2] : nullptr, byClass ? nullptr : argv[2],
                                   static_cast<DWORD>(number(3, 0)));
        if (!window)
            return 1;
        std::printf("%lld\n", HwndValue(window));
        return 0;
    }
    if (verb == L"count" && argc >= 4)
    {
        const wchar_t* className = std::wcscmp(argv[2], L"*") == 0 ? nullptr : argv[2];
        std::printf("%u\n", static_cast<unsigned>(TopLevels(className, argv[3], false).size()));
        return 0;
    }
    if (verb == L"count-all" && argc >= 3)
    {
        std::printf("%u\n", FindEverywhere(argv[2]).count);
        return 0;
    }
    if (verb == L"center-of" && argc >= 3)
    {
        // Screen position of the first visible window of a class, for a click.
        const ClassCount found = FindEverywhere(argv[2]);
        RECT rect;
        if (!found.first || !GetWindowRect(found.first, &rect))
            return 1;
        std::printf("%ld %ld\n", (rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
        return 0;
    }
    if (verb == L"text" && argc >= 3)
    {
        HWND window = ParseHwnd(argv[2]);
        if (argc >= 4)
            window = ChildById(window, static_cast<int>(number(3, 0)));
        if (!window || !IsWindow(window))
            return 1;
        PrintUtf8(WindowText(window));
        return 0;
    }
    if (verb == L"type-at-end" && argc >= 6)
    {
        // As a user's paste at the log's end: LINES lines, then TEXT with no line end.
        HWND log = ChildById(ParseHwnd(argv[2]), static_cast<int>(number(3, 0)));
        std::wstring text;
        for (long long i = number(4, 0); i > 0; --i)
            text += L"a line pasted into the log, about as long as one that is logged\r\n";
        text += argv[5];
        if (!log || !SendMessageTimeoutW(log, EM_SETSEL, 0x7FFFFFFF, 0x7FFFFFFF, SMTO_ABORTIFHUNG, 5000, nullptr))
            return 1;
        const LPARAM typed = reinterpret_cast<LPARAM>(text.c_str());
        return SendMessageTimeoutW(log, EM_REPLACESEL, TRUE, typed, SMTO_ABORTIFHUNG, 60000, nullptr) ? 0 : 1;
    }
    if ((verb == L"shows-end" || verb == L"scroll-top" || verb == L"text-limit") && argc >= 4)
    {
        HWND log = ChildById(ParseHwnd(argv[2]), static_cast<int>(number(3, 0)));
        if (!log)
            return 1;
        if (verb == L"shows-end")
            return ShowsEnd(log);
        if (verb == L"scroll-top")
            return SendMessageTimeoutW(log, WM_VSCROLL, SB_TOP, 0, SMTO_ABORTIFHUNG, 5000, nullptr) ? 0 : 1;
        DWORD_PTR limit = 0;
        if (!SendMessageTimeoutW(log, EM_GETLIMITTEXT, 0, 0, SMTO_ABORTIFHUNG, 5000, &limit))
            return 1;
        std::printf("%llu\n", static_cast<unsigned long long>(limit));
        return 0;
    }
    if (verb == L"command" && argc >= 4)
        return PostMessageW(ParseHwnd(argv[2]), WM_COMMAND, MAKEWPARAM(number(3, 0), 0), 0) ? 0 : 1;
    if (verb == L"close" && argc >= 3)
        return PostMessageW(ParseHwnd(argv[2]), WM_CLOSE, 0, 0) ? 0 : 1;
    if (verb == L"visible" && argc >= 3)
    {
        HWND window = ParseHwnd(argv[2]);
        if (!IsWindow(window))
            return 1;
        std::printf("%d\n", IsWindowVisible(window) ? 1 : 0);
        return 0;
    }
    if (verb == L"foreground")
    {
        HWND window = GetForegroundWindow();
        std::printf("%lld ", HwndValue(window));
        PrintUtf8(window ? WindowText(window) : std::wstring());
        std::printf("\n");
        return window ? 0 : 1;
    }
    if (verb == L"clipboard")
    {
        // The text on the clipboard now, as another program would paste it.
        if (!OpenClipboard(nullptr))
            return 1;
        std::wstring text;
        if (HANDLE data = GetClipboardData(CF_UNICODETEXT))
        {
            if (const wchar_t* chars = static_cast<const wchar_t*>(GlobalLock(data)))
            {
                text = chars;
                GlobalUnlock(data);
            }
        }
        CloseClipboard();
        PrintUtf8(text);
        return text.empty() ? 1 : 0;
    }
    if (verb == L"set-clipboard" && argc >= 3)
    {
        // Text plus a format of the probe's own, as a word processor offers
        // plain and rich text together.
        const std::wstring text = argv[2];
        const UINT own = RegisterClipboardFormatW(L"Corvalin Probe Format");
        HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
        HGLOBAL mark = GlobalAlloc(GMEM_MOVEABLE, 4);
        if (!data || !mark || !OpenClipboard(nullptr))
            return 1;
        std::memcpy(GlobalLock(data), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
        GlobalUnlock(data);
        std::memcpy(GlobalLock(mark), "mark", 4);
        GlobalUnlock(mark);
        EmptyClipboard();
        const bool ok = SetClipboardData(CF_UNICODETEXT, data) && SetClipboardData(own, mark);
        CloseClipboard();
        return ok ? 0 : 1;
    }
    if (verb == L"clipboard-has-probe-format")
        return IsClipboardFormatAvailable(RegisterClipboardFormatW(L"Corvalin Probe Format")) ? 0 : 1;
    if (verb == L"activate" && argc >= 3)
        return SetForegroundWindow(ParseHwnd(argv[2])) ? 0 : 1;
    if (verb == L"switch" && argc >= 5)
        return Switch(static_cast<DWORD>(number(2, 0)), static_cast<DWORD>(number(3, 0)), number(4, 0),
                      argc >= 6 && std::wcscmp(argv[5], L"inject") == 0,
                      static_cast<size_t>(std::max(0LL, number(6, 0))));
    if (verb == L"unasked" && argc >= 4)
        return Unasked(static_cast<DWORD>(number(2, 0)), static_cast<DWORD>(number(3, 0)));
    if (verb == L"append-cost" && argc >= 3)
        return AppendCost(number(2, 0), argc >= 4 ? ParseHwnd(argv[3]) : nullptr);
    if (verb == L"console" && argc >= 3)
        return Console(static_cast<DWORD>(number(2, 0)));
    if (verb == L"native-events")
        return NativeEvents();
    if (verb == L"dpi" && argc >= 3)
        return Dpi(ParseHwnd(argv[2]));
    if (verb == L"version" && argc >= 3)
        return Version(argv[2]);
    if (verb == L"event-text" && argc >= 4)
        return EventText(argv[2], static_cast<DWORD>(number(3, 0)),
                         std::vector<const wchar_t*>(argv + 4, argv + argc));
    if (verb == L"answer" && argc >= 5)
        return Answer(argv[2], static_cast<int>(number(3, IDOK)), static_cast<DWORD>(number(4, 10000)));
    return Usage();
}
