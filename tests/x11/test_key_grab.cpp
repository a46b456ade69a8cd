// KeyGrab against the real X server of the test session; a second connection
// plays the other client.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/keysym.h>

#include "platform/x11/key_grab.h"

namespace
{
int g_error = Success;
int RecordError(Display*, XErrorEvent* event)
{
    g_error = event->error_code;
    return 0;
}

// Whether the other client can take the exact combination (and then drops it).
bool FreeFor(Display* other, KeySym keysym, unsigned int mask)
{
    const KeyCode keycode = XKeysymToKeycode(other, keysym);
    const Window root = DefaultRootWindow(other);
    XErrorHandler previous = XSetErrorHandler(RecordError);
    g_error = Success;
    XGrabKey(other, keycode, mask, root, False, GrabModeAsync, GrabModeAsync);
    XSync(other, False);
    const bool free = g_error == Success;
    if (free)
        XUngrabKey(other, keycode, mask, root);
    XSync(other, False);
    XSetErrorHandler(previous);
    return free;
}

unsigned int NumLockMask(Display* display)
{
    XModifierKeymap* map = XGetModifierMapping(display);
    const KeyCode numLock = XKeysymToKeycode(display, XK_Num_Lock);
    unsigned int mask = 0;
    for (int i = 0; i < 8 * map->max_keypermod; ++i)
        if (numLock && map->modifiermap[i] == numLock)
            mask = 1u << (i / map->max_keypermod);
    XFreeModifiermap(map);
    return mask;
}

class KeyGrabTest : public testing::Test
{
protected:
    void SetUp() override
    {
        m_ours = XOpenDisplay(nullptr);
        m_other = XOpenDisplay(nullptr);
        if (!m_ours || !m_other)
            FAIL() << "needs an X server: run under tests/x_session.sh";
        m_numLock = NumLockMask(m_ours);
        ASSERT_NE(m_numLock, 0u) << "the test server maps NumLock to a modifier";
    }
    void TearDown() override
    {
        if (m_ours)
            XCloseDisplay(m_ours);
        if (m_other)
            XCloseDisplay(m_other);
    }

    Display* m_ours = nullptr;
    Display* m_other = nullptr;
    unsigned int m_numLock = 0;
};
}  // namespace

TEST_F(KeyGrabTest, GrabsEveryLockVariantAndReleasesThem)
{
    const unsigned int ctrlShift = ControlMask | ShiftMask;
    {
        KeyGrab grab(m_ours, XK_F7, ctrlShift);
        ASSERT_TRUE(grab.Grab());
        EXPECT_TRUE(grab.IsGrabbed());
        EXPECT_FALSE(FreeFor(m_other, XK_F7, ctrlShift));
        EXPECT_FALSE(FreeFor(m_other, XK_F7, ctrlShift | LockMask));
        EXPECT_FALSE(FreeFor(m_other, XK_F7, ctrlShift | m_numLock));
        EXPECT_FALSE(FreeFor(m_other, XK_F7, ctrlShift | m_numLock | LockMask));
        EXPECT_TRUE(FreeFor(m_other, XK_F7, ControlMask)) << "other combinations stay free";
        EXPECT_TRUE(FreeFor(m_other, XK_F8, ctrlShift));
    }
    // Destroyed: all released.
    EXPECT_TRUE(FreeFor(m_other, XK_F7, ctrlShift));
    EXPECT_TRUE(FreeFor(m_other, XK_F7, ctrlShift | m_numLock | LockMask));
}

TEST_F(KeyGrabTest, BusyVariantFailsAndLeavesNothingGrabbed)
{
    // The other client holds only the NumLock variant, which comes after
    // the plain and CapsLock variants that we would get first.
    const unsigned int ctrlAlt = ControlMask | Mod1Mask;
    const KeyCode keycode = XKeysymToKeycode(m_other, XK_F9);
    XGrabKey(m_other, keycode, ctrlAlt | m_numLock, DefaultRootWindow(m_other), False,
             GrabModeAsync, GrabModeAsync);
    XSync(m_other, False);

    KeyGrab grab(m_ours, XK_F9, ctrlAlt);
    EXPECT_FALSE(grab.Grab());
    EXPECT_FALSE(grab.IsGrabbed());
    // A third client now finds the variants we briefly had free again.
    Display* third = XOpenDisplay(nullptr);
    ASSERT_NE(third, nullptr);
    EXPECT_TRUE(FreeFor(third, XK_F9, ctrlAlt));
    EXPECT_TRUE(FreeFor(third, XK_F9, ctrlAlt | LockMask));
    EXPECT_FALSE(FreeFor(third, XK_F9, ctrlAlt | m_numLock)) << "the other client's own grab";
    XCloseDisplay(third);

    // Once the other client lets go, the same combination can be had.
    XUngrabKey(m_other, keycode, ctrlAlt | m_numLock, DefaultRootWindow(m_other));
    XSync(m_other, False);
    EXPECT_TRUE(grab.Grab());
}

TEST_F(KeyGrabTest, KeysymOnNoKeyFails)
{
    // A keysym that no key of the test server carries.
    KeyGrab grab(m_ours, XK_Hangul_J_YeorinHieuh, ControlMask);
    EXPECT_FALSE(grab.Grab());
    EXPECT_FALSE(grab.IsGrabbed());
}

TEST_F(KeyGrabTest, MatchesThePressWhateverTheLocks)
{
    KeyGrab grab(m_ours, XK_F7, ControlMask | ShiftMask);
    ASSERT_TRUE(grab.Grab());
    XKeyEvent press{};
    press.type = KeyPress;
    press.root = DefaultRootWindow(m_ours);
    press.keycode = grab.GrabbedKeyCode();
    press.state = ControlMask | ShiftMask;
    EXPECT_TRUE(grab.Matches(press));
    press.state = ControlMask | ShiftMask | LockMask | m_numLock | Button1Mask | (1 << 13);
    EXPECT_TRUE(grab.Matches(press)) << "locks, buttons and keyboard group do not count";
    press.state = ControlMask;
    EXPECT_FALSE(grab.Matches(press));
    press.state = ControlMask | ShiftMask | Mod1Mask;
    EXPECT_FALSE(grab.Matches(press));
    press.state = ControlMask | ShiftMask;
    press.keycode = XKeysymToKeycode(m_ours, XK_F8);
    EXPECT_FALSE(grab.Matches(press));
    grab.Release();
    press.keycode = XKeysymToKeycode(m_ours, XK_F7);
    EXPECT_FALSE(grab.Matches(press)) << "a released grab matches nothing";
}
