#include <gtest/gtest.h>

#include <string>

#include <X11/X.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

#include "platform/key_names.h"

// The stored hot key is a Windows virtual-key code; what can go wrong is at
// the edges of the map and in each desktop's spelling, not in its rows.
namespace
{
struct Notations
{
    int modifiers;
    int virtualKey;
    KeySym keysym;
    const char* sway;
    const char* gnome;
    const char* qt;
    int qtKey;
};

// Qt::Key numbers and modifier bits, from Qt's documentation.
constexpr int kQtShift = 0x02000000, kQtCtrl = 0x04000000, kQtAlt = 0x08000000,
              kQtMeta = 0x10000000, kQtKeypad = 0x20000000;

const Notations kCases[] = {
    // Letters are the unshifted keys; Qt names them by the capital.
    {kHotKeyControl | kHotKeyShift, 'P', XK_p, "Ctrl+Shift+p", "<Control><Shift>p", "Ctrl+Shift+P",
     kQtCtrl | kQtShift | 'P'},
    // Every modifier, each notation in its own order.
    {kHotKeyAlt | kHotKeyControl | kHotKeyShift | kHotKeyWin, '9', XK_9,
     "Ctrl+Shift+Mod1+Mod4+9", "<Control><Shift><Alt><Super>9", "Meta+Ctrl+Alt+Shift+9",
     kQtMeta | kQtCtrl | kQtAlt | kQtShift | '9'},
    // Lower-case codes are the numeric keypad on Windows, not letters.
    {kHotKeyAlt, 'a', XK_KP_1, "Mod1+KP_1", "<Alt>KP_1", "Alt+Num+1", kQtAlt | kQtKeypad | '1'},
    {kHotKeyWin, 0x6B, XK_KP_Add, "Mod4+KP_Add", "<Super>KP_Add", "Meta+Num++",
     kQtMeta | kQtKeypad | '+'},
    // The function keys past F12, which KDE once could not have.
    {kHotKeyControl, 0x87, XK_F24, "Ctrl+F24", "<Control>F24", "Ctrl+F24", kQtCtrl | 0x01000047},
    {kHotKeyControl, 0x70, XK_F1, "Ctrl+F1", "<Control>F1", "Ctrl+F1", kQtCtrl | 0x01000030},
    // Named keys, whose names differ between X11 and Qt.
    {kHotKeyShift, 0x21, XK_Prior, "Shift+Prior", "<Shift>Prior", "Shift+PgUp", kQtShift | 0x01000016},
    {kHotKeyControl, 0x2E, XK_Delete, "Ctrl+Delete", "<Control>Delete", "Ctrl+Del", kQtCtrl | 0x01000007},
    {kHotKeyControl, 0x20, XK_space, "Ctrl+space", "<Control>space", "Ctrl+Space", kQtCtrl | 0x20},
    {kHotKeyAlt, 0x2C, XK_Print, "Mod1+Print", "<Alt>Print", "Alt+Print", kQtAlt | 0x01000009},
    // The OEM keys as on a US keyboard.
    {kHotKeyControl, 0xDC, XK_backslash, "Ctrl+backslash", "<Control>backslash", "Ctrl+\\",
     kQtCtrl | '\\'},
    {kHotKeyControl, 0xC0, XK_grave, "Ctrl+grave", "<Control>grave", "Ctrl+`", kQtCtrl | '`'},
    // Bits that are no modifier are dropped everywhere.
    {0xFFF0 | kHotKeyShift, 'Z', XK_z, "Shift+z", "<Shift>z", "Shift+Z", kQtShift | 'Z'},
};
}  // namespace

TEST(KeyNames, EachNotationOfAKey)
{
    for (const Notations& c : kCases)
    {
        SCOPED_TRACE("VK " + std::to_string(c.virtualKey));
        EXPECT_EQ(VirtualKeyToKeySym(c.virtualKey), c.keysym);
        EXPECT_EQ(SwayKeyCombo(c.modifiers, c.virtualKey), c.sway);
        EXPECT_EQ(GnomeAccelerator(c.modifiers, c.virtualKey), c.gnome);
        int qtKey = -1;
        EXPECT_EQ(QtKeySequence(c.modifiers, c.virtualKey, qtKey), c.qt);
        EXPECT_EQ(qtKey, c.qtKey);
    }
}

// A key is in every notation or in none: a desktop that cannot say a key
// the others can would leave its user without the hot key unawares.
TEST(KeyNames, EveryNotationKnowsTheSameKeys)
{
    int named = 0;
    for (int vk = -1; vk <= 0x1FF; ++vk)
    {
        SCOPED_TRACE("VK " + std::to_string(vk));
        const KeySym keysym = VirtualKeyToKeySym(vk);
        int qtKey = -1;
        const std::string qt = QtKeySequence(kHotKeyControl, vk, qtKey);
        if (keysym == NoSymbol)
        {
            EXPECT_EQ(KeySymName(vk), nullptr);
            EXPECT_EQ(SwayKeyCombo(kHotKeyControl, vk), "");
            EXPECT_EQ(GnomeAccelerator(kHotKeyControl, vk), "");
            EXPECT_EQ(qt, "");
            EXPECT_EQ(qtKey, 0);
            continue;
        }
        ++named;
        // The spelled-out keysyms agree with Xlib's own table.
        ASSERT_NE(KeySymName(vk), nullptr);
        EXPECT_STREQ(KeySymName(vk), XKeysymToString(keysym));
        EXPECT_EQ(XStringToKeysym(KeySymName(vk)), keysym);
        EXPECT_EQ(qt.compare(0, 5, "Ctrl+"), 0) << qt;
        EXPECT_GT(qt.size(), 5u);
        EXPECT_EQ(qtKey & kQtCtrl, kQtCtrl);
    }
    // Letters, digits, F1-F24, the keypad's 16 and the 17 named and 11 OEM keys.
    EXPECT_EQ(named, 26 + 10 + 24 + 16 + 17 + 11);
    // Mouse buttons, modifiers themselves, Windows keys, media keys and
    // characters that are no key code: nothing.
    for (int vk : {0x01, 0x02, 0x10, 0x11, 0x12, 0x14, 0x5B, 0x5C, 0xAD, 0xB3, 0xFF, 65536 + 'P',
                   int('@'), int('[')})
        EXPECT_EQ(VirtualKeyToKeySym(vk), static_cast<KeySym>(NoSymbol)) << "VK " << vk;
}

TEST(HotKeyModifiers, AsX11Masks)
{
    EXPECT_EQ(HotKeyModifiersToX11(kHotKeyAlt), static_cast<unsigned>(Mod1Mask));
    EXPECT_EQ(HotKeyModifiersToX11(kHotKeyControl), static_cast<unsigned>(ControlMask));
    EXPECT_EQ(HotKeyModifiersToX11(kHotKeyShift), static_cast<unsigned>(ShiftMask));
    EXPECT_EQ(HotKeyModifiersToX11(kHotKeyWin), static_cast<unsigned>(Mod4Mask));
    // 16 is not 0, so a hot key is registered, but with the key alone.
    EXPECT_EQ(HotKeyModifiersToX11(16), 0u);
    EXPECT_EQ(HotKeyModifiersToX11(16 | kHotKeyShift), static_cast<unsigned>(ShiftMask));
    EXPECT_EQ(HotKeyModifiersToX11(0xFFF0), 0u);
    EXPECT_EQ(HotKeyModifiersToX11(65542), HotKeyModifiersToX11(6));
}
