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

namespace
{
// Windows virtual-key codes, named as in <winuser.h>.
enum
{
    VK_BACK = 0x08,
    VK_TAB = 0x09,
    VK_RETURN = 0x0D,
    VK_PAUSE = 0x13,
    VK_ESCAPE = 0x1B,
    VK_SPACE = 0x20,
    VK_PRIOR = 0x21,
    VK_NEXT = 0x22,
    VK_END = 0x23,
    VK_HOME = 0x24,
    VK_LEFT = 0x25,
    VK_UP = 0x26,
    VK_RIGHT = 0x27,
    VK_DOWN = 0x28,
    VK_SNAPSHOT = 0x2C,
    VK_INSERT = 0x2D,
    VK_DELETE = 0x2E,
    VK_NUMPAD0 = 0x60,
    VK_NUMPAD9 = 0x69,
    VK_MULTIPLY = 0x6A,
    VK_ADD = 0x6B,
    VK_SEPARATOR = 0x6C,
    VK_SUBTRACT = 0x6D,
    VK_DECIMAL = 0x6E,
    VK_DIVIDE = 0x6F,
    VK_F1 = 0x70,
    VK_F24 = 0x87,
    VK_OEM_1 = 0xBA,
    VK_OEM_PLUS = 0xBB,
    VK_OEM_COMMA = 0xBC,
    VK_OEM_MINUS = 0xBD,
    VK_OEM_PERIOD = 0xBE,
    VK_OEM_2 = 0xBF,
    VK_OEM_3 = 0xC0,
    VK_OEM_4 = 0xDB,
    VK_OEM_5 = 0xDC,
    VK_OEM_6 = 0xDD,
    VK_OEM_7 = 0xDE,
};
}  // namespace

KeySym VirtualKeyToKeySym(int virtualKey)
{
    // Letters: the unshifted keysym, since the grab is on the key, not the case.
    if (virtualKey >= 'A' && virtualKey <= 'Z')
        return XK_a + (virtualKey - 'A');
    if (virtualKey >= '0' && virtualKey <= '9')
        return XK_0 + (virtualKey - '0');
    if (virtualKey >= VK_F1 && virtualKey <= VK_F24)
        return XK_F1 + (virtualKey - VK_F1);
    if (virtualKey >= VK_NUMPAD0 && virtualKey <= VK_NUMPAD9)
        return XK_KP_0 + (virtualKey - VK_NUMPAD0);

    switch (virtualKey)
    {
    case VK_BACK: return XK_BackSpace;
    case VK_TAB: return XK_Tab;
    case VK_RETURN: return XK_Return;
    case VK_PAUSE: return XK_Pause;
    case VK_ESCAPE: return XK_Escape;
    case VK_SPACE: return XK_space;
    case VK_PRIOR: return XK_Prior;
    case VK_NEXT: return XK_Next;
    case VK_END: return XK_End;
    case VK_HOME: return XK_Home;
    case VK_LEFT: return XK_Left;
    case VK_UP: return XK_Up;
    case VK_RIGHT: return XK_Right;
    case VK_DOWN: return XK_Down;
    case VK_SNAPSHOT: return XK_Print;
    case VK_INSERT: return XK_Insert;
    case VK_DELETE: return XK_Delete;
    case VK_MULTIPLY: return XK_KP_Multiply;
    case VK_ADD: return XK_KP_Add;
    case VK_SEPARATOR: return XK_KP_Separator;
    case VK_SUBTRACT: return XK_KP_Subtract;
    case VK_DECIMAL: return XK_KP_Decimal;
    case VK_DIVIDE: return XK_KP_Divide;
    // The OEM keys as laid out on a US keyboard, which is what the codes mean.
    case VK_OEM_1: return XK_semicolon;
    case VK_OEM_PLUS: return XK_equal;
    case VK_OEM_COMMA: return XK_comma;
    case VK_OEM_MINUS: return XK_minus;
    case VK_OEM_PERIOD: return XK_period;
    case VK_OEM_2: return XK_slash;
    case VK_OEM_3: return XK_grave;
    case VK_OEM_4: return XK_bracketleft;
    case VK_OEM_5: return XK_backslash;
    case VK_OEM_6: return XK_bracketright;
    case VK_OEM_7: return XK_apostrophe;
    default: return NoSymbol;
    }
}

unsigned int HotKeyModifiersToX11(int modifiers)
{
    unsigned int mask = 0;
    if (modifiers & 1)
        mask |= Mod1Mask;
    if (modifiers & 2)
        mask |= ControlMask;
    if (modifiers & 4)
        mask |= ShiftMask;
    if (modifiers & 8)
        mask |= Mod4Mask;
    return mask;
}
