// What every Wayland backend relies on: the focus committed per batch of
// reports (a switch often says "nothing focused" first), and handles that
// cannot be mistaken for each other or for X11 ids.
#include <gtest/gtest.h>

#include <vector>

#include "platform/wayland/reported_windows.h"
#include "platform/wayland/sway_ipc.h"

namespace
{
// A backend fed by the test instead of a compositor.
class FedWindows : public ReportedWindowsPlatform
{
public:
    bool Connect(int) override { return true; }
    wxString Name() const override { return L"test"; }
    using ReportedWindowsPlatform::Describe;
    using ReportedWindowsPlatform::EndOfBatch;
    using ReportedWindowsPlatform::Focus;
    using ReportedWindowsPlatform::Forget;
    using ReportedWindowsPlatform::HandleFor;
    using ReportedWindowsPlatform::HoldChanges;
    using ReportedWindowsPlatform::ReleaseChanges;
    using ReportedWindowsPlatform::SetPid;
    using ReportedWindowsPlatform::Unfocus;

    WindowHandle Open(const std::string& key, WindowHandle xid = 0)
    {
        const WindowHandle handle = HandleFor(key, xid);
        Describe(handle, wxString::FromUTF8(key), L"app-" + wxString::FromUTF8(key), 0);
        return handle;
    }
};

struct Fixture : ::testing::Test
{
    FedWindows windows;
    int changes = 0;
    void SetUp() override { windows.StartEvents([this] { ++changes; }); }
};
}  // namespace

TEST_F(Fixture, ASwitchIsOneChangeHoweverItsReportsAreCut)
{
    const WindowHandle a = windows.Open("a"), b = windows.Open("b"), c = windows.Open("c");
    windows.Focus(a);
    windows.EndOfBatch();
    EXPECT_EQ(windows.ForegroundWindow(), a);
    EXPECT_EQ(changes, 1);

    // "Nothing" then the new window in one read: never seen as nothing.
    windows.Unfocus(a);
    windows.Focus(b);
    windows.EndOfBatch();
    EXPECT_EQ(windows.ForegroundWindow(), b);
    EXPECT_EQ(changes, 2);

    // The new window first, the old one's loss after it: still the new one.
    windows.Focus(c);
    windows.Unfocus(b);
    windows.EndOfBatch();
    EXPECT_EQ(windows.ForegroundWindow(), c);
    EXPECT_EQ(changes, 3);

    // Several switches in one read: each one is seen, in order.
    std::vector<WindowHandle> seen;
    windows.StartEvents([&] { seen.push_back(windows.ForegroundWindow()); });
    for (WindowHandle next : {a, b, c, a})
    {
        windows.Unfocus(windows.ForegroundWindow());
        windows.Focus(next);
    }
    windows.EndOfBatch();
    EXPECT_EQ(seen, (std::vector<WindowHandle>{a, b, c, a}));
    windows.StartEvents([this] { ++changes; });
    changes = 3;

    // Split over two reads, the moment of "nothing" tells the monitor nothing.
    windows.Focus(c);
    windows.EndOfBatch();
    changes = 3;
    windows.Unfocus(c);
    windows.EndOfBatch();
    EXPECT_EQ(windows.ForegroundWindow(), 0u);
    windows.Focus(a);
    windows.EndOfBatch();
    EXPECT_EQ(windows.ForegroundWindow(), a);
    EXPECT_EQ(changes, 4);

    // A batch about titles only leaves the focus where it was.
    windows.Describe(b, L"b renamed", L"app-b", 0);
    windows.EndOfBatch();
    EXPECT_EQ(windows.ForegroundWindow(), a);
    EXPECT_EQ(changes, 4);

    // The focused window closes: no window, until another is reported.
    windows.Forget(a);
    windows.EndOfBatch();
    EXPECT_EQ(windows.ForegroundWindow(), 0u);
    EXPECT_FALSE(windows.IsValidWindow(a));
    EXPECT_EQ(changes, 4);
    // A report about a window we never heard of is no focus.
    windows.Focus(a);
    windows.EndOfBatch();
    EXPECT_EQ(windows.ForegroundWindow(), 0u);
}

TEST_F(Fixture, HandlesAreStableDistinctAndNeverX11Ids)
{
    const WindowHandle a = windows.Open("a");
    EXPECT_EQ(windows.HandleFor("a"), a);
    // Never an X11 id (those stay below 2^29), and whole in the log's
    // signed 32-bit handle.
    EXPECT_GE(a, WindowHandle(1) << 30);
    EXPECT_LT(a, WindowHandle(1) << 31);
    windows.Forget(a);
    // The compositor may reuse its key for a new window; the handle is new.
    const WindowHandle again = windows.Open("a");
    EXPECT_NE(again, a);

    // An XWayland window keeps the id the X11 path would log; a later window
    // with that id (the X server reuses them) takes it over.
    const WindowHandle x = windows.Open("x1", 0x1400007);
    EXPECT_EQ(x, WindowHandle(0x1400007));
    EXPECT_EQ(windows.Open("x2", 0x1400007), x);
    EXPECT_EQ(windows.WindowTitle(x), L"x2");
    EXPECT_NE(windows.HandleFor("x1"), x);

    // What the monitor names a window by when no process is known.
    EXPECT_EQ(windows.WindowAppId(again), L"app-a");
    EXPECT_EQ(windows.WindowProcessId(again), 0u);
    EXPECT_EQ(windows.WindowTitle(a), wxString());
}

// The monitor's turn comes after a whole batch (or after sway named the
// process): each change is told with the window as it was when it happened,
// even if the window is gone by then.
TEST_F(Fixture, AChangeIsToldAsItWasSeen)
{
    struct Told
    {
        WindowHandle window;
        bool valid;
        wxString title;
        unsigned long pid;
        bool stamped;
    };
    std::vector<Told> told;
    windows.StartEvents([&] {
        const WindowHandle w = windows.ForegroundWindow();
        told.push_back({w, windows.IsValidWindow(w), windows.WindowTitle(w),
                        windows.WindowProcessId(w), windows.ChangeTime().IsValid()});
    });
    const WindowHandle a = windows.Open("a"), b = windows.Open("b");
    // A brief window: focused, renamed and closed within one read.
    windows.Focus(a);
    windows.Describe(a, L"renamed", L"app-a", 0);
    windows.Forget(a);
    windows.Focus(b);
    windows.EndOfBatch();
    ASSERT_EQ(told.size(), 2u);
    EXPECT_EQ(told[0].window, a);
    EXPECT_TRUE(told[0].valid);
    EXPECT_EQ(told[0].title, L"a");
    EXPECT_TRUE(told[0].stamped);
    EXPECT_EQ(told[1].window, b);
    // Outside the monitor's turn, the window's end counts again.
    EXPECT_FALSE(windows.IsValidWindow(a));
    EXPECT_FALSE(windows.ChangeTime().IsValid());

    // Held while a second source completes the window: nothing is told, the
    // foreground stays the last one told, and the late pid reaches the
    // waiting change.
    const WindowHandle c = windows.Open("c");
    windows.HoldChanges();
    windows.Focus(c);
    windows.EndOfBatch();
    EXPECT_EQ(told.size(), 2u);
    EXPECT_EQ(windows.ForegroundWindow(), b);
    windows.SetPid(c, 4242);
    windows.ReleaseChanges();
    ASSERT_EQ(told.size(), 3u);
    EXPECT_EQ(told[2].window, c);
    EXPECT_EQ(told[2].pid, 4242u);
    EXPECT_EQ(windows.ForegroundWindow(), c);
}

TEST(SwayIpc, InvalidUtf8InOneWindowCostsNoOtherItsProcess)
{
    SwayIpc sway(nullptr);
    // sway passes a title's bytes on as they are: \xff\xfe and a cut
    // sequence in one window's name and app id.
    const std::string tree =
        "{\"id\":1,\"nodes\":[{\"id\":2,\"nodes\":[],\"floating_nodes\":["
        "{\"id\":7,\"pid\":700,\"app_id\":\"bad\xff\",\"name\":\"bad \xff\xfe mid \xc3( end\","
        "\"focused\":false}]},"
        "{\"id\":3,\"nodes\":[{\"id\":8,\"pid\":800,\"app_id\":\"foot\",\"name\":\"Foot\","
        "\"focused\":true},{\"id\":9,\"pid\":null,\"app_id\":null,\"name\":null,"
        "\"window_properties\":{\"class\":\"XTerm\"}}]}]}";
    EXPECT_TRUE(sway.TakeMessage(4, tree));
    EXPECT_EQ(sway.PidFor(L"foot", L"Foot"), 800u);
    EXPECT_EQ(sway.PidFor(ReportedWindowsPlatform::DecodeText("bad\xff"),
                          ReportedWindowsPlatform::DecodeText("bad \xff\xfe mid \xc3( end")),
              700u);
    EXPECT_EQ(sway.PidFor(L"XTerm", L""), 0u);

    // Two windows alike: the one focused last is the one meant.
    EXPECT_TRUE(sway.TakeMessage(0x80000003u,
                                 "{\"change\":\"new\",\"container\":{\"id\":10,\"pid\":1000,"
                                 "\"app_id\":\"foot\",\"name\":\"Foot\"}}"));
    EXPECT_EQ(sway.PidFor(L"foot", L"Foot"), 800u);
    EXPECT_TRUE(sway.TakeMessage(0x80000003u,
                                 "{\"change\":\"focus\",\"container\":{\"id\":10,\"pid\":1000,"
                                 "\"app_id\":\"foot\",\"name\":\"Foot\"}}"));
    EXPECT_EQ(sway.PidFor(L"foot", L"Foot"), 1000u);
    // A title event renames; a close forgets.
    sway.TakeMessage(0x80000003u, "{\"change\":\"title\",\"container\":{\"id\":10,\"pid\":1000,"
                                  "\"app_id\":\"foot\",\"name\":\"vim\"}}");
    EXPECT_EQ(sway.PidFor(L"foot", L"vim"), 1000u);
    sway.TakeMessage(0x80000003u, "{\"change\":\"close\",\"container\":{\"id\":10}}");
    EXPECT_EQ(sway.PidFor(L"foot", L"vim"), 0u);

    // What is no JSON object, or not shaped as sway's, changes nothing.
    EXPECT_FALSE(sway.TakeMessage(4, "[1,2"));
    EXPECT_FALSE(sway.TakeMessage(0x80000003u, "{\"change\":\"focus\",\"container\":7}"));
    EXPECT_FALSE(sway.TakeMessage(0x80000003u, "\xff\xfe"));
    EXPECT_EQ(sway.PidFor(L"foot", L"Foot"), 800u);
}
