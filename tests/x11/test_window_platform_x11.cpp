// The X11 platform layer against the real X server of the test session:
// windows made here with Xlib, properties set the way other clients set them.
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <string>
#include <map>
#include <optional>
#include <thread>

// GoogleTest and wx first: Xlib defines macros such as None and Bool.
#include <gtest/gtest.h>
#include <wx/evtloop.h>
#include <wx/unix/evtloop.h>
#include <wx/init.h>

#include "platform/x11/window_platform.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace
{
class X11PlatformTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        display = XOpenDisplay(nullptr);
        ASSERT_NE(display, nullptr) << "needs an X display (tests/x_session.sh)";
        platform = CreateX11WindowPlatform();
    }
    void TearDown() override
    {
        if (display)
            XCloseDisplay(display);
    }

    Window MakeWindow(bool map = false)
    {
        Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 10, 10, 120, 80,
                                            0, 0, 0);
        if (map)
            XMapWindow(display, window);
        XSync(display, False);
        return window;
    }
    void SetProperty(Window window, const char* name, const char* type, const std::string& bytes)
    {
        XChangeProperty(display, window, XInternAtom(display, name, False),
                        XInternAtom(display, type, False), 8, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(bytes.data()),
                        static_cast<int>(bytes.size()));
        XSync(display, False);
    }
    static std::string Repeat(const std::string& piece, int count)
    {
        std::string text;
        for (int i = 0; i < count; ++i)
            text += piece;
        return text;
    }

    Display* display = nullptr;
    std::unique_ptr<WindowPlatform> platform;
};
}  // namespace

TEST_F(X11PlatformTest, TitlesComeFromNetWmNameThenWmNameInAnyEncoding)
{
    Window window = MakeWindow();
    EXPECT_EQ(platform->WindowTitle(window), wxString());

    SetProperty(window, "WM_NAME", "STRING", "caf\xe9 - Latin-1");
    EXPECT_EQ(platform->WindowTitle(window), wxString(L"caf\u00e9 - Latin-1"));

    XTextProperty compound;
    char* list[] = {const_cast<char*>("\xe6\x97\xa5\xe6\x9c\xac compound")};
    ASSERT_EQ(Xutf8TextListToTextProperty(display, list, 1, XCompoundTextStyle, &compound), Success);
    XSetWMName(display, window, &compound);
    XFree(compound.value);
    XSync(display, False);
    EXPECT_EQ(platform->WindowTitle(window), wxString(L"\u65e5\u672c compound"));

    // EWMH's UTF-8 title wins over WM_NAME.
    SetProperty(window, "_NET_WM_NAME", "UTF8_STRING", "Gr\xc3\xbc\xc3\x9f" "e \xe2\x80\x93 \xf0\x9f\x98\x80");
    EXPECT_EQ(platform->WindowTitle(window), wxString(L"Gr\u00fc\u00dfe \u2013 \U0001F600"));
    XDestroyWindow(display, window);
}

TEST_F(X11PlatformTest, LongTitlesAreCutTo255CharactersNeverInsideACharacter)
{
    Window window = MakeWindow();
    const struct
    {
        const char* piece;
        wchar_t character;
    } cases[] = {
        {"x", L'x'},
        {"\xc3\xa9", L'\u00e9'},                // two bytes
        {"\xe6\x97\xa5", L'\u65e5'},            // three: 1024 bytes end inside one
        {"\xf0\x9f\x98\x80", L'\U0001F600'},    // four
    };
    for (const auto& c : cases)
    {
        SCOPED_TRACE(c.piece);
        SetProperty(window, "_NET_WM_NAME", "UTF8_STRING", Repeat(c.piece, 400));
        const wxString title = platform->WindowTitle(window);
        EXPECT_EQ(title.length(), 255u);
        EXPECT_EQ(title, wxString(c.character, 255));
    }
    SetProperty(window, "_NET_WM_NAME", "UTF8_STRING", Repeat("ab", 100));
    EXPECT_EQ(platform->WindowTitle(window).length(), 200u);
    XDestroyWindow(display, window);
}

// Other programs' titles may hold any bytes: each sequence that is not a
// character in shortest form is one U+FFFD, and what follows it is kept.
TEST_F(X11PlatformTest, BrokenUtf8TitlesStillGiveReadableText)
{
    Window window = MakeWindow();
    const struct
    {
        std::string bytes;
        const wchar_t* title;
    } cases[] = {
        {"bad \xff\xfe bytes", L"bad \uFFFD\uFFFD bytes"},
        {"over\xC0\x80long \xE0\x80\x80!", L"over\uFFFD\uFFFDlong \uFFFD!"},
        {"surrogate \xED\xA0\x80.", L"surrogate \uFFFD."},
        {"too big \xF4\x90\x80\x80.", L"too big \uFFFD."},
        {"cut \xE2\x82 short", L"cut \uFFFD short"},
        {"lone \x80\xBF tail", L"lone \uFFFD\uFFFD tail"},
        {"good \xE2\x82\xAC \xF0\x9F\x98\x80", L"good \u20AC \U0001F600"},
    };
    for (const auto& c : cases)
    {
        SetProperty(window, "_NET_WM_NAME", "UTF8_STRING", c.bytes);
        EXPECT_EQ(platform->WindowTitle(window), wxString(c.title)) << c.bytes;
    }
    XDestroyWindow(display, window);
}

TEST_F(X11PlatformTest, ValidityFollowsTheWindowsLife)
{
    EXPECT_FALSE(platform->IsValidWindow(0));
    Window window = MakeWindow();
    EXPECT_TRUE(platform->IsValidWindow(window));
    XDestroyWindow(display, window);
    XSync(display, False);
    EXPECT_FALSE(platform->IsValidWindow(window));
    // Queries on a vanished window fail softly instead of ending the process.
    EXPECT_EQ(platform->WindowTitle(window), wxString());
    EXPECT_FALSE(platform->IsValidWindow(0x7ffffff0));
}

TEST_F(X11PlatformTest, OwningProcessFromNetWmPidElseFromTheServer)
{
    Window window = MakeWindow();
    // No _NET_WM_PID: the X server's record of the client (this process).
    EXPECT_EQ(platform->WindowProcessId(window), static_cast<unsigned long>(getpid()));
    unsigned long pid = 4242;
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32,
                    PropModeReplace, reinterpret_cast<unsigned char*>(&pid), 1);
    XSync(display, False);
    EXPECT_EQ(platform->WindowProcessId(window), 4242u);
    XDestroyWindow(display, window);
}

TEST_F(X11PlatformTest, ModuleNameIsTheExecutablesFileName)
{
    wxString name;
    ASSERT_TRUE(platform->ProcessModuleName(getpid(), name));
    EXPECT_EQ(name, L"x11_platform_tests");
    EXPECT_FALSE(platform->ProcessModuleName(0x7ffffff, name));
}

TEST_F(X11PlatformTest, AProcessWithNeitherExecutableNorArgumentsIsNamedByItsShortName)
{
    // An ended process that is not yet reaped keeps only its short name,
    // which it chose itself, line break included.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0)
    {
        prctl(PR_SET_NAME, "gone\nsoon");
        _exit(0);
    }
    siginfo_t info;
    ASSERT_EQ(waitid(P_PID, static_cast<id_t>(child), &info, WEXITED | WNOWAIT), 0);
    const unsigned long pid = static_cast<unsigned long>(child);
    wxString name, path;
    EXPECT_TRUE(platform->ProcessModuleName(pid, name));
    EXPECT_EQ(name, L"gone soon");
    EXPECT_FALSE(platform->ProcessExecutablePath(pid, path));
    EXPECT_TRUE(path.empty());
    waitpid(child, nullptr, 0);
    EXPECT_FALSE(platform->ProcessModuleName(pid, name));
}

TEST_F(X11PlatformTest, GivenForegroundIsReportedAsForeground)
{
    Window first = MakeWindow(true);
    Window second = MakeWindow(true);
    for (Window target : {first, second, first})
    {
        platform->GiveForeground(target);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (platform->ForegroundWindow() != target && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(platform->ForegroundWindow(), target);
    }
    XDestroyWindow(display, first);
    XDestroyWindow(display, second);
    XSync(display, False);
    platform->GiveForeground(first);  // gone: the request fails quietly
    EXPECT_FALSE(platform->IsValidWindow(first));
}

// The event path follows every value any client writes: the root named as
// the active window is "no window", and watching it (as the monitor would if
// it took it for one) must not silence later changes; the watched window's
// destruction is heard without asking the server.
TEST_F(X11PlatformTest, EventsFollowTheActiveWindowWhateverItIsSetTo)
{
    // A console program: the descriptor is watched by the toolkit's own
    // dispatcher, as the program's GTK loop watches it there.
    wxConsoleEventLoop loop;
    wxEventLoopActivator active(&loop);
    int changes = 0;
    ASSERT_TRUE(platform->StartEvents([&] { ++changes; }));
    const Window root = DefaultRootWindow(display);
    const Atom activeWindow = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
    auto setActive = [&](Window window) {
        XChangeProperty(display, root, activeWindow, XA_WINDOW, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&window), 1);
        XSync(display, False);
    };
    auto settle = [&](auto done) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        while (!done() && std::chrono::steady_clock::now() < deadline)
            loop.DispatchTimeout(20);
    };
    auto foregroundAfterEvents = [&](WindowHandle expected) {
        settle([&] { return platform->ForegroundWindow() == expected; });
        return platform->ForegroundWindow();
    };
    const Window a = MakeWindow(), b = MakeWindow();
    setActive(a);
    EXPECT_EQ(foregroundAfterEvents(a), a);
    platform->WatchWindow(a);
    setActive(root);
    EXPECT_EQ(foregroundAfterEvents(0), 0u);
    platform->WatchWindow(root);
    setActive(b);
    EXPECT_EQ(foregroundAfterEvents(b), b);
    // The answers above come from events alone; another client (the window
    // manager) may add or fold changes of its own meanwhile.
    EXPECT_GE(changes, 2);
    platform->WatchWindow(b);
    EXPECT_TRUE(platform->IsValidWindow(b));
    XDestroyWindow(display, b);
    XSync(display, False);
    settle([&] { return !platform->IsValidWindow(b); });
    EXPECT_FALSE(platform->IsValidWindow(b));
    XDestroyWindow(display, a);
}

// Each change says who asked the window manager for it (EWMH's source, read
// off the request on its way to the root; other messages to the root are
// no requests), and how long there was no input up to the change itself,
// however long after it the question comes.
TEST_F(X11PlatformTest, InputBeforeAChangeAndWhoAskedForIt)
{
    wxConsoleEventLoop loop;
    wxEventLoopActivator active(&loop);
    std::map<WindowHandle, ChangeInput> told;
    ASSERT_TRUE(platform->StartEvents(
        [&] { told[platform->ForegroundWindow()] = platform->InputBeforeChange(500); }));
    // Sends a message for the window to the root; the input told of the
    // change to it that follows, unless only sent.
    auto ask = [&](Window window, const char* type, long source,
                   bool wait = true) -> std::optional<ChangeInput> {
        XClientMessageEvent event{ClientMessage, 0, False, nullptr, window,
                                  XInternAtom(display, type, False), 32, {}};
        event.data.l[0] = source;
        XSendEvent(display, DefaultRootWindow(display), False,
                   SubstructureRedirectMask | SubstructureNotifyMask, reinterpret_cast<XEvent*>(&event));
        XSync(display, False);
        if (!wait)
            return std::nullopt;
        told.erase(window);
        for (int i = 0; i < 250 && !told.count(window); ++i)
            loop.DispatchTimeout(20);
        return told.count(window) ? std::optional<ChangeInput>(told[window]) : std::nullopt;
    };
    // Windows that ask not to be focused when mapped: a window manager that
    // focuses one late would otherwise mix its own change into the requests.
    auto unfocusedWindow = [&] {
        const Window window = MakeWindow();
        const unsigned long never = 0;
        XChangeProperty(display, window, XInternAtom(display, "_NET_WM_USER_TIME", False),
                        XA_CARDINAL, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char*>(&never), 1);
        XMapWindow(display, window);
        return window;
    };
    const Window a = unfocusedWindow(), b = unfocusedWindow();
    std::optional<ChangeInput> input = ask(a, "_NET_ACTIVE_WINDOW", 1);
    ASSERT_TRUE(input && input->idleMs) << "nobody has touched this display's keyboard or pointer";
    EXPECT_EQ(input->request, ActivationRequest::Application);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const std::optional<std::uint64_t> later = platform->InputBeforeChange(500).idleMs;
    ASSERT_TRUE(later);
    EXPECT_NEAR(*later, *input->idleMs, 100) << "measured up to the change, not to the question";
    input = ask(b, "_NET_ACTIVE_WINDOW", 2);
    ASSERT_TRUE(input);
    EXPECT_EQ(input->request, ActivationRequest::Pager);
    ask(a, "_NET_ACTIVE_WINDOW", 0, false);  // from a client older than the source field...
    input = ask(a, "_NET_REQUEST_FRAME_EXTENTS", 1);  // ...then another message for that window
    ASSERT_TRUE(input);
    EXPECT_EQ(input->request, ActivationRequest::Unknown);
    XDestroyWindow(display, a);
    XDestroyWindow(display, b);
}

// Run on a display without a window manager (x11_platform_no_wm).
TEST_F(X11PlatformTest, NoWindowManagerMeansNoForegroundWindow)
{
    if (!std::getenv("CORVALIN_EXPECT_NO_WM"))
        GTEST_SKIP() << "needs a display without a window manager";
    Window window = MakeWindow(true);
    EXPECT_EQ(platform->ForegroundWindow(), 0u);
    platform->GiveForeground(window);
    EXPECT_EQ(platform->ForegroundWindow(), 0u);
    XDestroyWindow(display, window);
}

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    wxInitializer init;
    return RUN_ALL_TESTS();
}
