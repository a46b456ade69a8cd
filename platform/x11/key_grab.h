#pragma once

// The system-wide hot key on X11: the combination grabbed on the root
// window.  The stored key's keysym and mask come from platform/key_names.

#include <vector>

#include <X11/Xlib.h>

// One key combination grabbed on the root window for this client, in every
// CapsLock/NumLock/ScrollLock variant, so that it reaches us whatever window
// has the focus.
class KeyGrab
{
public:
    KeyGrab(Display* display, KeySym keysym, unsigned int modifiers);
    ~KeyGrab();
    KeyGrab(const KeyGrab&) = delete;
    KeyGrab& operator=(const KeyGrab&) = delete;

    // (Re)grabs with the current keyboard mapping.  False when the keysym is
    // on no key or another client holds any variant (BadAccess); nothing of
    // this combination stays grabbed then.
    bool Grab();
    void Release();
    bool IsGrabbed() const { return !m_variants.empty(); }

    // Whether the event is a press or release of the grabbed combination.
    bool Matches(const XKeyEvent& event) const;
    KeyCode GrabbedKeyCode() const { return m_keycode; }

private:
    void ReadLockMasks();

    Display* m_display;
    Window m_root;
    KeySym m_keysym;
    unsigned int m_modifiers;
    KeyCode m_keycode = 0;
    unsigned int m_numLock = 0;
    unsigned int m_scrollLock = 0;
    unsigned int m_lockMasks = LockMask;
    std::vector<unsigned int> m_variants;
};

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
