#include <gtest/gtest.h>

#include <X11/keysym.h>

#include "platform/x11/key_grab.h"

TEST(VirtualKeyMap, LettersAndDigitsAreTheUnshiftedKeys)
{
    EXPECT_EQ(VirtualKeyToKeySym('A'), static_cast<KeySym>(XK_a));
    EXPECT_EQ(VirtualKeyToKeySym('P'), static_cast<KeySym>(XK_p));
    EXPECT_EQ(VirtualKeyToKeySym('Z'), static_cast<KeySym>(XK_z));
    EXPECT_EQ(VirtualKeyToKeySym('0'), static_cast<KeySym>(XK_0));
    EXPECT_EQ(VirtualKeyToKeySym('9'), static_cast<KeySym>(XK_9));
    // Lower-case codes are numeric-keypad keys on Windows, not letters.
    EXPECT_EQ(VirtualKeyToKeySym('a'), static_cast<KeySym>(XK_KP_1));
    EXPECT_EQ(VirtualKeyToKeySym('@'), static_cast<KeySym>(NoSymbol));
    EXPECT_EQ(VirtualKeyToKeySym('['), static_cast<KeySym>(NoSymbol));
}

TEST(VirtualKeyMap, FunctionKeysUpToF24)
{
    EXPECT_EQ(VirtualKeyToKeySym(0x70), static_cast<KeySym>(XK_F1));
    EXPECT_EQ(VirtualKeyToKeySym(0x7B), static_cast<KeySym>(XK_F12));
    EXPECT_EQ(VirtualKeyToKeySym(0x87), static_cast<KeySym>(XK_F24));
    EXPECT_EQ(VirtualKeyToKeySym(0x88), static_cast<KeySym>(NoSymbol));
}

TEST(VirtualKeyMap, NavigationAndEditingKeys)
{
    const struct { int vk; KeySym keysym; } keys[] = {
        {0x25, XK_Left}, {0x26, XK_Up}, {0x27, XK_Right}, {0x28, XK_Down},
        {0x2D, XK_Insert}, {0x2E, XK_Delete}, {0x24, XK_Home}, {0x23, XK_End},
        {0x21, XK_Prior}, {0x22, XK_Next}, {0x20, XK_space}, {0x09, XK_Tab},
        {0x0D, XK_Return}, {0x1B, XK_Escape}, {0x08, XK_BackSpace}, {0x13, XK_Pause},
        {0x2C, XK_Print},
    };
    for (const auto& key : keys)
        EXPECT_EQ(VirtualKeyToKeySym(key.vk), key.keysym) << "VK 0x" << std::hex << key.vk;
}

TEST(VirtualKeyMap, NumericKeypad)
{
    EXPECT_EQ(VirtualKeyToKeySym(0x60), static_cast<KeySym>(XK_KP_0));
    EXPECT_EQ(VirtualKeyToKeySym(0x69), static_cast<KeySym>(XK_KP_9));
    EXPECT_EQ(VirtualKeyToKeySym(0x6A), static_cast<KeySym>(XK_KP_Multiply));
    EXPECT_EQ(VirtualKeyToKeySym(0x6B), static_cast<KeySym>(XK_KP_Add));
    EXPECT_EQ(VirtualKeyToKeySym(0x6C), static_cast<KeySym>(XK_KP_Separator));
    EXPECT_EQ(VirtualKeyToKeySym(0x6D), static_cast<KeySym>(XK_KP_Subtract));
    EXPECT_EQ(VirtualKeyToKeySym(0x6E), static_cast<KeySym>(XK_KP_Decimal));
    EXPECT_EQ(VirtualKeyToKeySym(0x6F), static_cast<KeySym>(XK_KP_Divide));
}

TEST(VirtualKeyMap, OemPunctuationAsOnAUsKeyboard)
{
    const struct { int vk; KeySym keysym; } keys[] = {
        {0xBA, XK_semicolon}, {0xBB, XK_equal}, {0xBC, XK_comma}, {0xBD, XK_minus},
        {0xBE, XK_period}, {0xBF, XK_slash}, {0xC0, XK_grave}, {0xDB, XK_bracketleft},
        {0xDC, XK_backslash}, {0xDD, XK_bracketright}, {0xDE, XK_apostrophe},
    };
    for (const auto& key : keys)
        EXPECT_EQ(VirtualKeyToKeySym(key.vk), key.keysym) << "VK 0x" << std::hex << key.vk;
}

TEST(VirtualKeyMap, CodesWithoutAKeyHereAreRefused)
{
    // Mouse buttons, modifiers themselves, Windows keys, media keys, nothing.
    for (int vk : {0, 0x01, 0x02, 0x10, 0x11, 0x12, 0x14, 0x5B, 0x5C, 0xAD, 0xB3, 0xFF, 0x150,
                   -1, 65536 + 'P'})
        EXPECT_EQ(VirtualKeyToKeySym(vk), static_cast<KeySym>(NoSymbol)) << "VK " << vk;
}

TEST(HotKeyModifiers, EachToolkitBitHasItsXModifier)
{
    EXPECT_EQ(HotKeyModifiersToX11(1), static_cast<unsigned>(Mod1Mask));
    EXPECT_EQ(HotKeyModifiersToX11(2), static_cast<unsigned>(ControlMask));
    EXPECT_EQ(HotKeyModifiersToX11(4), static_cast<unsigned>(ShiftMask));
    EXPECT_EQ(HotKeyModifiersToX11(8), static_cast<unsigned>(Mod4Mask));
    EXPECT_EQ(HotKeyModifiersToX11(6), static_cast<unsigned>(ControlMask | ShiftMask));
    EXPECT_EQ(HotKeyModifiersToX11(15),
              static_cast<unsigned>(Mod1Mask | ControlMask | ShiftMask | Mod4Mask));
}

TEST(HotKeyModifiers, OtherBitsAreDropped)
{
    // 16 is not 0, so a hot key is registered, but with the key alone.
    EXPECT_EQ(HotKeyModifiersToX11(16), 0u);
    EXPECT_EQ(HotKeyModifiersToX11(16 | 4), static_cast<unsigned>(ShiftMask));
    EXPECT_EQ(HotKeyModifiersToX11(0xFFF0), 0u);
    // 65542 reaches the mapping as 6 (the caller keeps the low 16 bits); the
    // high bit set would be dropped here as well.
    EXPECT_EQ(HotKeyModifiersToX11(65542 & 0xFFFF), HotKeyModifiersToX11(6));
    EXPECT_EQ(HotKeyModifiersToX11(65542), HotKeyModifiersToX11(6));
}
