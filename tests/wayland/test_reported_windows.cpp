// What every Wayland backend relies on: the focus committed per batch of
// reports (a switch often says "nothing focused" first), and handles that
// cannot be mistaken for each other or for X11 ids.
#include <gtest/gtest.h>

#include <vector>

#include "platform/wayland/reported_windows.h"

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
    EXPECT_GT(a, WindowHandle(0xFFFFFFFFu));
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
