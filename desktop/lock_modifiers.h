#pragma once

#include <vector>

#include <X11/Xlib.h>

// A passive grab matches only the exact modifier state, and CapsLock, NumLock
// and ScrollLock count as modifiers: a hot key must be grabbed once for every
// combination of the locks.

// The modifier bit (ShiftMask ... Mod5Mask) that the keycode is mapped to in
// the modifier map, or 0 when it is none (or keycode is 0).
unsigned int ModifierMaskOfKeyCode(const XModifierKeymap& map, KeyCode keycode);

// The modifiers combined with every subset of the lock masks, each
// combination once; a lock mask of 0 (lock key not mapped) adds nothing.
std::vector<unsigned int> LockVariants(unsigned int modifiers, unsigned int numLockMask,
                                       unsigned int scrollLockMask);
