// WindowManagerHelper's Load and Save against a real settings file.  They use
// only the store, so no window is needed.
#include <memory>
#include <string>

#include <gtest/gtest.h>
#include <wx/config.h>

#include "settings/settings_file_config.h"
#include "settings/window_placement.h"
#include "settings_test_support.h"

namespace
{
class PlacementTest : public ::testing::Test
{
protected:
    void TearDown() override { delete wxConfigBase::Set(nullptr); }

    void InstallStore(const std::string& text)
    {
        WriteBytes(m_file, text);
        delete wxConfigBase::Set(OpenSettingsFile(m_file));
    }

    struct Loaded
    {
        wxPoint position;
        wxSize size;
        bool maximized;
    };
    Loaded LoadWith(const std::string& layout, wxSize callerSize = wxSize(600, 450))
    {
        InstallStore("[Layout/SelDlg]\n" + layout);
        WindowManagerHelper helper(nullptr, L"SelDlg");
        Loaded loaded{wxPoint(7, 7), callerSize, false};
        helper.Load(loaded.position, loaded.size);
        loaded.maximized = helper.IsMaximized();
        return loaded;
    }

    TempFolder m_folder;
    wxString m_file = m_folder.Path("Corvalin.cfg");
};

TEST_F(PlacementTest, NothingStoredGivesSystemPositionAndCallerSize)
{
    const Loaded loaded = LoadWith("");
    EXPECT_EQ(wxPoint(-1, -1), loaded.position);
    EXPECT_EQ(wxSize(600, 450), loaded.size);
    EXPECT_FALSE(loaded.maximized);
}

TEST_F(PlacementTest, SizesAreBoundedEachByItself)
{
    EXPECT_EQ(wxSize(200, 2000), LoadWith("SizeW=200\nSizeH=2000\n").size);
    EXPECT_EQ(wxSize(2500, 200), LoadWith("SizeW=2500\nSizeH=200\n").size);
    EXPECT_EQ(wxSize(600, 1000), LoadWith("SizeW=199\nSizeH=1000\n").size);
    EXPECT_EQ(wxSize(600, 1000), LoadWith("SizeW=2501\nSizeH=1000\n").size);
    EXPECT_EQ(wxSize(800, 450), LoadWith("SizeW=800\nSizeH=2001\n").size);
    EXPECT_EQ(wxSize(800, 450), LoadWith("SizeW=800\nSizeH=199\n").size);
    EXPECT_EQ(wxSize(600, 450), LoadWith("SizeW=-300\nSizeH=wide\n").size);
    // 2^32 + 300 would narrow to an accepted 300.
    EXPECT_EQ(wxSize(640, 480),
              LoadWith("SizeW=4294967596\nSizeH=4294967596\n", wxSize(640, 480)).size);
}

TEST_F(PlacementTest, PositionsBelowMinusOneBecomeMinusOneOthersStay)
{
    EXPECT_EQ(wxPoint(-1, -1), LoadWith("PosX=-5\nPosY=-2\n").position);
    EXPECT_EQ(wxPoint(5000, -1), LoadWith("PosX=5000\nPosY=-1\n").position);
    EXPECT_EQ(wxPoint(0, 3), LoadWith("PosX=0\nPosY=3\n").position);
    EXPECT_EQ(wxPoint(-1, -1), LoadWith("PosX=here\nPosY=\n").position);
    // Beyond 32 bits: never wrapped into some position on screen.
    EXPECT_EQ(wxPoint(-1, -1), LoadWith("PosX=4294967396\nPosY=99999999999999\n").position);
}

TEST_F(PlacementTest, MaximisedIsAnyNonZeroInteger)
{
    EXPECT_TRUE(LoadWith("IsMaximized=1\n").maximized);
    EXPECT_TRUE(LoadWith("IsMaximized=5\n").maximized);
    EXPECT_FALSE(LoadWith("IsMaximized=0\n").maximized);
    EXPECT_FALSE(LoadWith("IsMaximized=yes\n").maximized);
}

TEST_F(PlacementTest, LoadLeavesPathAndFileAlone)
{
    InstallStore("[Layout/SelDlg]\nPosX=10\n");
    wxConfigBase* store = wxConfigBase::Get();
    store->SetPath(L"/Options");
    WindowManagerHelper helper(nullptr, L"SelDlg");
    wxPoint position;
    wxSize size(600, 450);
    helper.Load(position, size);
    EXPECT_EQ(L"/Options", store->GetPath());
    EXPECT_EQ(10, position.x);
    EXPECT_EQ("[Layout/SelDlg]\nPosX=10\n", ReadBytes(m_file));
}

// A run without size or move events saves back what it loaded, the last
// normal geometry and the maximised state, in the fixed order, restores the
// caller's path and is on disk at once.
TEST_F(PlacementTest, SaveWritesFiveEntriesToDiskAtOnce)
{
    InstallStore("[Options]\nMonitorWindows=0\n[Layout/SelDlg]\nIsMaximized=1\nSizeH=700\n"
                 "PosY=30\nPosX=20\nSizeW=900\n");
    wxConfigBase* store = wxConfigBase::Get();
    WindowManagerHelper helper(nullptr, L"SelDlg");
    wxPoint position;
    wxSize size(600, 450);
    helper.Load(position, size);
    // Rewritten in order: stale entries from an older file are dropped first.
    store->DeleteGroup(L"/Layout");
    store->SetPath(L"/Options");
    helper.Save();
    EXPECT_EQ(L"/Options", store->GetPath());
    EXPECT_EQ("[Options]\nMonitorWindows=0\n[Layout]\n[Layout/SelDlg]\nPosX=20\nPosY=30\n"
              "SizeW=900\nSizeH=700\nIsMaximized=1\n",
              ReadBytes(m_file));
}

TEST_F(PlacementTest, OtherNamesUseTheirOwnGroup)
{
    InstallStore("");
    WindowManagerHelper helper(nullptr, L"Other");
    wxPoint position;
    wxSize size(300, 250);
    helper.Load(position, size);
    helper.Save();
    EXPECT_EQ("[Layout]\n[Layout/Other]\nPosX=-1\nPosY=-1\nSizeW=300\nSizeH=250\nIsMaximized=0\n",
              ReadBytes(m_file));
}
}  // namespace
