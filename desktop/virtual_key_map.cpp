#include "desktop/virtual_key_map.h"

#include <X11/keysym.h>

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
