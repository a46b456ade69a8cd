// A start with MinimizeOnRun gives the foreground back to where the user
// was, and keeps doing so for a while against ourselves or nobody, never
// against the user.
#include <gtest/gtest.h>

#include "frame/start_hand_back.h"
#include "support/fake_window_platform.h"

namespace
{
constexpr unsigned long kOurPid = 100;
constexpr WindowHandle kEditor = 1, kOurFrame = 2, kOther = 3;

struct HandBackTest : ::testing::Test
{
    FakeWindowPlatform desktop;
    StartHandBack handBack{desktop, kOurPid, 3};
    void SetUp() override
    {
        desktop.AddWindow(kEditor, L"editor", 7);
        desktop.AddWindow(kOurFrame, L"Corvalin", kOurPid);
        desktop.AddWindow(kOther, L"other", 8);
        desktop.foreground = kEditor;
        handBack.Remember();
    }
};
}  // namespace

TEST_F(HandBackTest, TakesTheForegroundBackFromUsOrNobodyForAWhile)
{
    // Our tray icon took the foreground: it goes back, also from nobody.
    desktop.foreground = kOurFrame;
    handBack.Tick(false);
    EXPECT_EQ(desktop.foreground, kEditor);
    desktop.foreground = 0;
    handBack.Tick(false);
    EXPECT_EQ(desktop.foreground, kEditor);
    EXPECT_TRUE(handBack.Active());
    // ...but only for as many ticks as it was given.
    handBack.Tick(false);
    handBack.Tick(false);
    EXPECT_FALSE(handBack.Active());
    desktop.foreground = kOurFrame;
    handBack.Tick(false);
    EXPECT_EQ(desktop.foreground, kOurFrame);
}

TEST_F(HandBackTest, GivingBackAgainWatchesAnewAndAnythingElseEndsIt)
{
    handBack.Tick(false);
    handBack.Tick(false);
    // After the tray icon is made: handed back at once, and watched anew.
    desktop.foreground = kOurFrame;
    handBack.GiveBack();
    EXPECT_EQ(desktop.foreground, kEditor);
    for (int tick = 0; tick < 3; ++tick)
        handBack.Tick(false);
    EXPECT_TRUE(handBack.Active());

    // The user went to another program: theirs to keep, and we stop.
    desktop.foreground = kOther;
    handBack.Tick(false);
    EXPECT_FALSE(handBack.Active());
    desktop.foreground = kOurFrame;
    handBack.Tick(false);
    EXPECT_EQ(desktop.foreground, kOurFrame);
}

TEST_F(HandBackTest, EndsWhenTheFrameIsShownOrTheWindowIsGone)
{
    desktop.foreground = kOurFrame;
    handBack.Tick(true);  // the user asked for our frame
    EXPECT_FALSE(handBack.Active());
    EXPECT_EQ(desktop.foreground, kOurFrame);

    handBack.Remember();  // the frame again, as if the user were in it
    desktop.foreground = kEditor;
    handBack.Remember();
    desktop.DestroyWindow(kEditor);
    desktop.foreground = kOurFrame;
    handBack.GiveBack();  // nothing to give it to
    EXPECT_EQ(desktop.foreground, kOurFrame);
    handBack.Tick(false);
    EXPECT_FALSE(handBack.Active());

    // Nothing was in front at the start: there is nothing to hand back.
    desktop.foreground = 0;
    handBack.Remember();
    EXPECT_FALSE(handBack.Active());
}
