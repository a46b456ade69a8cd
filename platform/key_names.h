#pragma once

// The stored hot key is a Windows virtual-key code and the toolkit's
// modifier bits; every desktop wants it in a notation of its own.  Pure
// logic: no system header, so that each backend and the tests share one map.

#include <string>

// The stored modifier bits: wxMOD_ALT, wxMOD_CONTROL, wxMOD_SHIFT and
// wxMOD_WIN, which are also Win32's MOD_ALT ... MOD_WIN.  Any other bit is
// dropped by every notation.
constexpr int kHotKeyAlt = 1;
constexpr int kHotKeyControl = 2;
constexpr int kHotKeyShift = 4;
constexpr int kHotKeyWin = 8;

// The X11 keysym for a virtual-key code (letters unshifted, since a grab is
// on the key, not the case), or 0 (NoSymbol) when the key has no counterpart.
unsigned long VirtualKeyToKeySym(int virtualKey);
// Its name as X11 and xkbcommon spell it ("p", "F5", "KP_Add"), or nullptr.
const char* KeySymName(int virtualKey);

// The modifiers as a core X11 modifier mask: Mod1, Control, Shift, Mod4.
unsigned int HotKeyModifiersToX11(int modifiers);

// Each notation is empty when the key has none (see UnnamedKeyProblem).
// sway's bindsym: "Ctrl+Shift+p".
std::string SwayKeyCombo(int modifiers, int virtualKey);
// A GTK accelerator for GNOME Shell: "<Control><Shift>p".
std::string GnomeAccelerator(int modifiers, int virtualKey);
// Qt's portable key-sequence text for KWin ("Meta+Ctrl+P"), and the same
// as the number KGlobalAccel knows it by (0 with an empty text).
std::string QtKeySequence(int modifiers, int virtualKey, int& qtKey);

// What the user is told when a notation has no name for the key.
std::string UnnamedKeyProblem(int virtualKey, const char* desktop);
