#include <gtest/gtest.h>

#include <X11/keysym.h>

#include "platform/x11/key_grab.h"

// The stored hot key is a Windows virtual-key code; what can go wrong is at
// the edges of the map, not in its rows.
TEST(VirtualKeyMap, TheEdgesOfTheMap)
{
    // Letters are the unshifted keys; lower-case codes are the numeric
    // keypad on Windows, not letters.
    EXPECT_EQ(VirtualKeyToKeySym('P'), static_cast<KeySym>(XK_p));
    EXPECT_EQ(VirtualKeyToKeySym('a'), static_cast<KeySym>(XK_KP_1));
    EXPECT_EQ(VirtualKeyToKeySym('9'), static_cast<KeySym>(XK_9));
    EXPECT_EQ(VirtualKeyToKeySym(0x87), static_cast<KeySym>(XK_F24));
    EXPECT_EQ(VirtualKeyToKeySym(0x88), static_cast<KeySym>(NoSymbol));
    // Mouse buttons, modifiers themselves, Windows keys, media keys, codes
    // out of range: no key here.
    for (int vk : {0, 0x01, 0x02, 0x10, 0x11, 0x12, 0x14, 0x5B, 0x5C, 0xAD, 0xB3, 0xFF, 0x150,
                   -1, 65536 + 'P', int('@'), int('[')})
        EXPECT_EQ(VirtualKeyToKeySym(vk), static_cast<KeySym>(NoSymbol)) << "VK " << vk;
}

TEST(HotKeyModifiers, BitsWithoutAModifierAreDropped)
{
    // 16 is not 0, so a hot key is registered, but with the key alone.
    EXPECT_EQ(HotKeyModifiersToX11(16), 0u);
    EXPECT_EQ(HotKeyModifiersToX11(16 | 4), static_cast<unsigned>(ShiftMask));
    EXPECT_EQ(HotKeyModifiersToX11(0xFFF0), 0u);
    EXPECT_EQ(HotKeyModifiersToX11(65542), HotKeyModifiersToX11(6));
}
