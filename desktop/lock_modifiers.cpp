#include "desktop/lock_modifiers.h"

#include <algorithm>

unsigned int ModifierMaskOfKeyCode(const XModifierKeymap& map, KeyCode keycode)
{
    if (keycode == 0)
        return 0;
    // Eight rows (Shift, Lock, Control, Mod1..Mod5) of max_keypermod keycodes.
    for (int modifier = 0; modifier < 8; ++modifier)
        for (int i = 0; i < map.max_keypermod; ++i)
            if (map.modifiermap[modifier * map.max_keypermod + i] == keycode)
                return 1u << modifier;
    return 0;
}

std::vector<unsigned int> LockVariants(unsigned int modifiers, unsigned int numLockMask,
                                       unsigned int scrollLockMask)
{
    const unsigned int locks[] = {LockMask, numLockMask, scrollLockMask};
    std::vector<unsigned int> variants;
    for (unsigned int subset = 0; subset < 8; ++subset)
    {
        unsigned int mask = modifiers;
        for (int bit = 0; bit < 3; ++bit)
            if (subset & (1u << bit))
                mask |= locks[bit];
        if (std::find(variants.begin(), variants.end(), mask) == variants.end())
            variants.push_back(mask);
    }
    return variants;
}
