#include "platform/key_names.h"

#include <cstdio>

namespace
{
// Windows virtual-key codes, named as in <winuser.h>.
enum
{
    VK_NUMPAD0 = 0x60,
    VK_NUMPAD9 = 0x69,
    VK_F1 = 0x70,
    VK_F24 = 0x87,
};

// Keysym values and Qt key numbers are fixed by X11's keysymdef.h and Qt's
// Qt::Key; spelled out here so that no backend needs the other's headers.
constexpr unsigned long kKeySymLowerA = 0x61;
constexpr unsigned long kKeySymZero = 0x30;
constexpr unsigned long kKeySymF1 = 0xffbe;
constexpr unsigned long kKeySymKeypadZero = 0xffb0;
constexpr int kQtKeyF1 = 0x01000030;
constexpr int kQtShift = 0x02000000;
constexpr int kQtControl = 0x04000000;
constexpr int kQtAlt = 0x08000000;
constexpr int kQtMeta = 0x10000000;
constexpr int kQtKeypad = 0x20000000;

// X11's core modifier masks (X.h).
constexpr unsigned int kX11Shift = 1u << 0;
constexpr unsigned int kX11Control = 1u << 2;
constexpr unsigned int kX11Mod1 = 1u << 3;
constexpr unsigned int kX11Mod4 = 1u << 6;

struct KeyName
{
    int virtualKey;
    unsigned long keysym;
    const char* keysymName;
    int qtKey;  // with kQtKeypad for the numeric keypad
    const char* qtName;
};

// The keys outside the letter, digit, function-key and keypad-digit runs.
// The OEM keys as laid out on a US keyboard, which is what the codes mean.
const KeyName kKeys[] = {
    {0x08, 0xff08, "BackSpace", 0x01000003, "Backspace"},
    {0x09, 0xff09, "Tab", 0x01000001, "Tab"},
    {0x0D, 0xff0d, "Return", 0x01000004, "Return"},
    {0x13, 0xff13, "Pause", 0x01000008, "Pause"},
    {0x1B, 0xff1b, "Escape", 0x01000000, "Esc"},
    {0x20, 0x0020, "space", 0x20, "Space"},
    {0x21, 0xff55, "Prior", 0x01000016, "PgUp"},
    {0x22, 0xff56, "Next", 0x01000017, "PgDown"},
    {0x23, 0xff57, "End", 0x01000011, "End"},
    {0x24, 0xff50, "Home", 0x01000010, "Home"},
    {0x25, 0xff51, "Left", 0x01000012, "Left"},
    {0x26, 0xff52, "Up", 0x01000013, "Up"},
    {0x27, 0xff53, "Right", 0x01000014, "Right"},
    {0x28, 0xff54, "Down", 0x01000015, "Down"},
    {0x2C, 0xff61, "Print", 0x01000009, "Print"},
    {0x2D, 0xff63, "Insert", 0x01000006, "Ins"},
    {0x2E, 0xffff, "Delete", 0x01000007, "Del"},
    {0x6A, 0xffaa, "KP_Multiply", kQtKeypad | '*', "*"},
    {0x6B, 0xffab, "KP_Add", kQtKeypad | '+', "+"},
    {0x6C, 0xffac, "KP_Separator", kQtKeypad | ',', ","},
    {0x6D, 0xffad, "KP_Subtract", kQtKeypad | '-', "-"},
    {0x6E, 0xffae, "KP_Decimal", kQtKeypad | '.', "."},
    {0x6F, 0xffaf, "KP_Divide", kQtKeypad | '/', "/"},
    {0xBA, 0x003b, "semicolon", ';', ";"},
    {0xBB, 0x003d, "equal", '=', "="},
    {0xBC, 0x002c, "comma", ',', ","},
    {0xBD, 0x002d, "minus", '-', "-"},
    {0xBE, 0x002e, "period", '.', "."},
    {0xBF, 0x002f, "slash", '/', "/"},
    {0xC0, 0x0060, "grave", '`', "`"},
    {0xDB, 0x005b, "bracketleft", '[', "["},
    {0xDC, 0x005c, "backslash", '\\', "\\"},
    {0xDD, 0x005d, "bracketright", ']', "]"},
    {0xDE, 0x0027, "apostrophe", '\'', "'"},
};

// The names of the runs, indexed from their first key.
const char* const kLetterNames[] = {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l", "m",
                                    "n", "o", "p", "q", "r", "s", "t", "u", "v", "w", "x", "y", "z"};
const char* const kDigitNames[] = {"0", "1", "2", "3", "4", "5", "6", "7", "8", "9"};
const char* const kKeypadNames[] = {"KP_0", "KP_1", "KP_2", "KP_3", "KP_4",
                                    "KP_5", "KP_6", "KP_7", "KP_8", "KP_9"};
const char* const kFunctionNames[] = {"F1",  "F2",  "F3",  "F4",  "F5",  "F6",  "F7",  "F8",
                                      "F9",  "F10", "F11", "F12", "F13", "F14", "F15", "F16",
                                      "F17", "F18", "F19", "F20", "F21", "F22", "F23", "F24"};

// One key in both notations, or false when it has none.  Lower-case codes
// are the numeric keypad on Windows, not letters.
bool Lookup(int virtualKey, KeyName& key)
{
    if (virtualKey >= 'A' && virtualKey <= 'Z')
    {
        const int i = virtualKey - 'A';
        key = {virtualKey, kKeySymLowerA + i, kLetterNames[i], virtualKey, nullptr};
        return true;
    }
    if (virtualKey >= '0' && virtualKey <= '9')
    {
        const int i = virtualKey - '0';
        key = {virtualKey, kKeySymZero + i, kDigitNames[i], virtualKey, kDigitNames[i]};
        return true;
    }
    if (virtualKey >= VK_F1 && virtualKey <= VK_F24)
    {
        const int i = virtualKey - VK_F1;
        key = {virtualKey, kKeySymF1 + i, kFunctionNames[i], kQtKeyF1 + i, kFunctionNames[i]};
        return true;
    }
    if (virtualKey >= VK_NUMPAD0 && virtualKey <= VK_NUMPAD9)
    {
        const int i = virtualKey - VK_NUMPAD0;
        key = {virtualKey, kKeySymKeypadZero + i, kKeypadNames[i], kQtKeypad | ('0' + i),
               kDigitNames[i]};
        return true;
    }
    for (const KeyName& known : kKeys)
        if (known.virtualKey == virtualKey)
        {
            key = known;
            return true;
        }
    return false;
}
}  // namespace

unsigned long VirtualKeyToKeySym(int virtualKey)
{
    KeyName key;
    return Lookup(virtualKey, key) ? key.keysym : 0;
}

const char* KeySymName(int virtualKey)
{
    KeyName key;
    return Lookup(virtualKey, key) ? key.keysymName : nullptr;
}

unsigned int HotKeyModifiersToX11(int modifiers)
{
    unsigned int mask = 0;
    if (modifiers & kHotKeyAlt)
        mask |= kX11Mod1;
    if (modifiers & kHotKeyControl)
        mask |= kX11Control;
    if (modifiers & kHotKeyShift)
        mask |= kX11Shift;
    if (modifiers & kHotKeyWin)
        mask |= kX11Mod4;
    return mask;
}

std::string SwayKeyCombo(int modifiers, int virtualKey)
{
    const char* key = KeySymName(virtualKey);
    if (!key)
        return std::string();
    std::string combo;
    if (modifiers & kHotKeyControl)
        combo += "Ctrl+";
    if (modifiers & kHotKeyShift)
        combo += "Shift+";
    if (modifiers & kHotKeyAlt)
        combo += "Mod1+";
    if (modifiers & kHotKeyWin)
        combo += "Mod4+";
    return combo + key;
}

std::string GnomeAccelerator(int modifiers, int virtualKey)
{
    const char* key = KeySymName(virtualKey);
    if (!key)
        return std::string();
    std::string accelerator;
    if (modifiers & kHotKeyControl)
        accelerator += "<Control>";
    if (modifiers & kHotKeyShift)
        accelerator += "<Shift>";
    if (modifiers & kHotKeyAlt)
        accelerator += "<Alt>";
    if (modifiers & kHotKeyWin)
        accelerator += "<Super>";
    return accelerator + key;
}

std::string QtKeySequence(int modifiers, int virtualKey, int& qtKey)
{
    qtKey = 0;
    KeyName key;
    if (!Lookup(virtualKey, key))
        return std::string();
    // Qt names a letter key by its capital.
    const std::string name = key.qtName ? key.qtName : std::string(1, char(virtualKey));
    qtKey = key.qtKey;
    // Qt's own order of modifiers, as QKeySequence writes them.
    std::string keys;
    if (modifiers & kHotKeyWin)
        keys += "Meta+", qtKey |= kQtMeta;
    if (modifiers & kHotKeyControl)
        keys += "Ctrl+", qtKey |= kQtControl;
    if (modifiers & kHotKeyAlt)
        keys += "Alt+", qtKey |= kQtAlt;
    if (modifiers & kHotKeyShift)
        keys += "Shift+", qtKey |= kQtShift;
    if (key.qtKey & kQtKeypad)
        keys += "Num+";
    return keys + name;
}

std::string UnnamedKeyProblem(int virtualKey, const char* desktop)
{
    char code[16];
    std::snprintf(code, sizeof code, "0x%X", static_cast<unsigned>(virtualKey));
    return std::string("the hot key's key (virtual-key code ") + code + ") has no name " +
           desktop + " knows; choose another in the Options";
}
