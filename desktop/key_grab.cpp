#include "desktop/key_grab.h"

#include <X11/keysym.h>

#include "desktop/lock_modifiers.h"
#include "monitor/x_error_trap.h"

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
