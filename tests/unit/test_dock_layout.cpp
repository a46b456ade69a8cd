// The dock-layout file and the check a saved layout must pass.
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "settings/dock_layout.h"
#include "settings/toolkit_capture.h"
#include "settings_test_support.h"

namespace
{
// As the frame's docking manager saves it.
const wxString kToolbar =
    L"name=TpplBarPane;caption=;state=10240;dir=1;layer=10;row=0;pos=0;prop=100000;bestw=197;"
    L"besth=42;minw=-1;minh=-1;maxw=-1;maxh=-1;floatx=-1;floaty=-1;floatw=-1;floath=-1";
const wxString kLog =
    L"name=ID_Note;caption=;state=1980;dir=5;layer=0;row=0;pos=0;prop=100000;bestw=103;"
    L"besth=39;minw=-1;minh=-1;maxw=-1;maxh=-1;floatx=-1;floaty=-1;floatw=-1;floath=-1";
const wxString kDocks = L"dock_size(1,10,0)=42|dock_size(5,0,0)=105|";

wxString Layout(const wxString& toolbar, const wxString& log, const wxString& docks = kDocks)
{
    return L"layout2|" + toolbar + L"|" + log + L"|" + docks;
}

wxString With(wxString pane, const wxString& from, const wxString& to)
{
    pane.Replace(from, to);
    return pane;
}

TEST(DockLayoutCheck, AcceptsWhatTheFrameSavesAndWhatTheToolkitReadsAlike)
{
    EXPECT_TRUE(IsUsableDockLayout(Layout(kToolbar, kLog)));
    EXPECT_TRUE(IsUsableDockLayout(Layout(kLog, kToolbar)));
    EXPECT_TRUE(IsUsableDockLayout(L" layout2 |" + kToolbar + L"|" + kLog));
    EXPECT_TRUE(IsUsableDockLayout(Layout(kToolbar, L" NAME = ID_Note ;Dir=5;STATE=1980")));
    // Panes the frame does not have are passed over.
    EXPECT_TRUE(IsUsableDockLayout(Layout(kToolbar, kLog, L"name=Other;state=2|" + kDocks)));
    // The last entry for a pane wins, as in the docking manager.
    EXPECT_TRUE(IsUsableDockLayout(
        Layout(kToolbar, With(kLog, L"state=1980", L"state=1982") + L"|" + kLog)));
}

TEST(DockLayoutCheck, RefusesLayoutsThatLoseOrHideAPane)
{
    EXPECT_FALSE(IsUsableDockLayout(L""));
    EXPECT_FALSE(IsUsableDockLayout(L"layout2|"));
    EXPECT_FALSE(IsUsableDockLayout(L"layout1|" + kToolbar + L"|" + kLog));
    EXPECT_FALSE(IsUsableDockLayout(L"layout2|name=Other;state=0;dir=5|" + kDocks));
    EXPECT_FALSE(IsUsableDockLayout(L"layout2|" + kLog + L"|" + kDocks));
    EXPECT_FALSE(IsUsableDockLayout(L"layout2|" + kToolbar + L"|" + kDocks));
    // Parsing stops at the first empty part.
    EXPECT_FALSE(IsUsableDockLayout(L"layout2|" + kToolbar + L"||" + kLog));
    // Hidden (2), floating (1), maximised (1 << 16), for either pane.
    for (const wchar_t* state : {L"state=1982", L"state=1981", L"state=67516",
                                 L"state=4294967295"})
    {
        EXPECT_FALSE(IsUsableDockLayout(Layout(kToolbar, With(kLog, L"state=1980", state))))
            << state;
        EXPECT_FALSE(IsUsableDockLayout(
            Layout(With(kToolbar, L"state=10240", state), kLog)))
            << state;
    }
    EXPECT_FALSE(IsUsableDockLayout(
        Layout(kToolbar, With(kLog, L"state=1980", L"state=1980") + L"|" +
                             With(kLog, L"state=1980", L"state=1982"))));
    // The log belongs in the centre, the toolbar on a side.
    EXPECT_FALSE(IsUsableDockLayout(Layout(kToolbar, With(kLog, L"dir=5", L"dir=1"))));
    EXPECT_FALSE(IsUsableDockLayout(Layout(With(kToolbar, L"dir=1", L"dir=5"), kLog)));
    EXPECT_FALSE(IsUsableDockLayout(Layout(With(kToolbar, L"dir=1", L"dir=99"), kLog)));
}

// The thieves pane may be missing (a layout from before it) or hidden, on
// any side; floating, maximised, in the log's place or too large, refused.
TEST(DockLayoutCheck, TheThievesPaneDocksOnASideShownOrHidden)
{
    const wxString thieves =
        L"name=ThievesPane;caption=Focus thieves;state=2099132;dir=2;layer=0;row=0;pos=0;"
        L"prop=100000;bestw=480;besth=320;minw=260;minh=220;maxw=-1;maxh=-1";
    auto usable = [&](const wchar_t* from, const wchar_t* to) {
        return IsUsableDockLayout(Layout(kToolbar, kLog + L"|" + With(thieves, from, to)));
    };
    for (const wchar_t* fine : {L"dir=1", L"dir=2", L"dir=3", L"dir=4", L"state=2099134"})
        EXPECT_TRUE(usable(fine[0] == L'd' ? L"dir=2" : L"state=2099132", fine)) << fine;
    for (const wchar_t* wrong : {L"dir=5", L"dir=0", L"state=2099133", L"state=2164668"})
        EXPECT_FALSE(usable(wrong[0] == L'd' ? L"dir=2" : L"state=2099132", wrong)) << wrong;
    EXPECT_FALSE(usable(L"besth=320", L"besth=9000"));
}

TEST(DockLayoutCheck, RefusesAbsurdSizesAndUnknownKeys)
{
    EXPECT_TRUE(IsUsableDockLayout(Layout(kToolbar, kLog, L"dock_size(1,10,0)=2500|")));
    EXPECT_FALSE(IsUsableDockLayout(Layout(kToolbar, kLog, L"dock_size(1,10,0)=2501|")));
    EXPECT_FALSE(IsUsableDockLayout(Layout(kToolbar, kLog, L"dock_size(1,10,0)=-7|")));
    EXPECT_FALSE(IsUsableDockLayout(Layout(kToolbar, With(kLog, L"minh=-1", L"minh=90000"))));
    EXPECT_FALSE(IsUsableDockLayout(Layout(With(kToolbar, L"besth=42", L"besth=-50"), kLog)));
    EXPECT_FALSE(IsUsableDockLayout(Layout(kToolbar, kLog + L";colour=red")));
}

class DockLayoutFileTest : public ::testing::Test
{
protected:
    TempFolder m_folder;
    wxString m_file = m_folder.Path("perspective.layout");
};

TEST_F(DockLayoutFileTest, RoundTripUnderItsKey)
{
    EXPECT_EQ(wxString(), ReadDockLayout(m_file));
    const wxString layout = Layout(kToolbar, kLog);
    WriteDockLayout(m_file, layout);
    EXPECT_EQ("PerspectiveSelDlg2=" + std::string(layout.utf8_str()) + "\n", ReadBytes(m_file));
    EXPECT_EQ(layout, ReadDockLayout(m_file));
}

TEST_F(DockLayoutFileTest, DamagedFilesReadAsNothingAndAreReplaced)
{
    LogCapture log;
    const std::string damaged[] = {
        "garbage without equals\n[unclosed\nPerspectiveSelDlg2=layout2|\n",
        std::string(3 * 1024 * 1024, 'x'),
        std::string("PerspectiveSelDlg2=la\0yout2|", 28),
    };
    for (const std::string& bytes : damaged)
    {
        WriteBytes(m_file, bytes);
        const wxString read = ReadDockLayout(m_file);
        EXPECT_FALSE(IsUsableDockLayout(read));
        WriteDockLayout(m_file, L"layout2|x");
        EXPECT_EQ("PerspectiveSelDlg2=layout2|x\n", ReadBytes(m_file));
    }
    EXPECT_EQ(0, log.Count()) << log.Text();
}
}  // namespace
