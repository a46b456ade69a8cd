#include "platform/x11/key_grab.h"

#include <algorithm>

#include <X11/keysym.h>

#include "platform/x11/x_error_trap.h"

namespace
{
// The core modifier bits; the rest of an event's state holds buttons and the
// keyboard group.
const unsigned int kModifierBits = 0xFF;
}  // namespace

KeyGrab::KeyGrab(Display* display, KeySym keysym, unsigned int modifiers)
    : m_display(display), m_root(DefaultRootWindow(display)), m_keysym(keysym),
      m_modifiers(modifiers)
{
}

KeyGrab::~KeyGrab()
{
    Release();
}

void KeyGrab::ReadLockMasks()
{
    // NumLock and ScrollLock sit on whichever ModN the keyboard map says.
    unsigned int numLock = 0, scrollLock = 0;
    if (XModifierKeymap* map = XGetModifierMapping(m_display))
    {
        numLock = ModifierMaskOfKeyCode(*map, XKeysymToKeycode(m_display, XK_Num_Lock));
        scrollLock = ModifierMaskOfKeyCode(*map, XKeysymToKeycode(m_display, XK_Scroll_Lock));
        XFreeModifiermap(map);
    }
    m_lockMasks = LockMask | numLock | scrollLock;
    m_numLock = numLock;
    m_scrollLock = scrollLock;
}

bool KeyGrab::Grab()
{
    Release();
    const KeyCode keycode = XKeysymToKeycode(m_display, m_keysym);
    if (keycode == 0)
        return false;
    ReadLockMasks();
    const std::vector<unsigned int> variants = LockVariants(m_modifiers, m_numLock, m_scrollLock);

    XErrorTrap trap(m_display);
    for (unsigned int mask : variants)
        XGrabKey(m_display, keycode, mask, m_root, False, GrabModeAsync, GrabModeAsync);
    if (trap.Failed())
    {
        // Some variant belongs to another client: give back the ones we got.
        // Ungrabbing a variant we do not hold changes nothing.
        for (unsigned int mask : variants)
            XUngrabKey(m_display, keycode, mask, m_root);
        return false;
    }
    m_keycode = keycode;
    m_variants = variants;
    return true;
}

void KeyGrab::Release()
{
    if (m_variants.empty())
        return;
    XErrorTrap trap(m_display);
    for (unsigned int mask : m_variants)
        XUngrabKey(m_display, m_keycode, mask, m_root);
    m_variants.clear();
    m_keycode = 0;
}

bool KeyGrab::Matches(const XKeyEvent& event) const
{
    if (!IsGrabbed() || event.keycode != m_keycode || event.root != m_root)
        return false;
    return ((event.state & kModifierBits) | m_lockMasks) == (m_modifiers | m_lockMasks);
}

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
