#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/x11/key_grab.h"

namespace
{
// A modifier map of two keycodes per modifier, as XGetModifierMapping gives.
struct ModifierMap
{
    std::vector<KeyCode> codes = std::vector<KeyCode>(16, 0);
    XModifierKeymap map{2, nullptr};
    ModifierMap() { map.modifiermap = codes.data(); }
    void Put(int modifier, int slot, KeyCode keycode) { codes[modifier * 2 + slot] = keycode; }
};

std::vector<unsigned int> Sorted(std::vector<unsigned int> masks)
{
    std::sort(masks.begin(), masks.end());
    return masks;
}
}  // namespace

TEST(ModifierMaskOfKeyCode, FindsTheRowOfTheKey)
{
    ModifierMap modmap;
    modmap.Put(0, 0, 50);  // Shift_L
    modmap.Put(0, 1, 62);  // Shift_R
    modmap.Put(4, 1, 77);  // Num_Lock on Mod2, second slot
    modmap.Put(7, 0, 78);  // Scroll_Lock on Mod5
    EXPECT_EQ(ModifierMaskOfKeyCode(modmap.map, 77), static_cast<unsigned>(Mod2Mask));
    EXPECT_EQ(ModifierMaskOfKeyCode(modmap.map, 78), static_cast<unsigned>(Mod5Mask));
    EXPECT_EQ(ModifierMaskOfKeyCode(modmap.map, 62), static_cast<unsigned>(ShiftMask));
}

TEST(ModifierMaskOfKeyCode, UnmappedKeyOrNoKeyGivesNothing)
{
    ModifierMap modmap;
    modmap.Put(4, 0, 77);
    EXPECT_EQ(ModifierMaskOfKeyCode(modmap.map, 99), 0u);
    // Empty slots hold 0; a keysym on no key must not match them.
    EXPECT_EQ(ModifierMaskOfKeyCode(modmap.map, 0), 0u);
}

// That every variant is grabbed, plain one first, the X11 key-grab test
// shows against a real server; here, the cases of odd key maps.
TEST(LockVariants, MissingLockKeysAddNoDuplicates)
{
    EXPECT_EQ(Sorted(LockVariants(ControlMask, Mod2Mask, 0)),
              Sorted({ControlMask, ControlMask | LockMask, ControlMask | Mod2Mask,
                      ControlMask | LockMask | Mod2Mask}));
    EXPECT_EQ(Sorted(LockVariants(0, 0, 0)), Sorted({0u, static_cast<unsigned>(LockMask)}));
}

TEST(LockVariants, LockBitInsideTheCombinationIsNotDoubled)
{
    // NumLock mapped to the same bit as a modifier of the hot key.
    EXPECT_EQ(Sorted(LockVariants(Mod4Mask, Mod4Mask, 0)),
              Sorted({static_cast<unsigned>(Mod4Mask), Mod4Mask | LockMask}));
}
