#pragma once

#include <X11/X.h>

// The hot key is stored as a Windows virtual-key code and the toolkit's
// modifier bits; X needs a keysym and a core modifier mask.

// The keysym for a virtual-key code, or NoSymbol when the key has no
// counterpart here (the registration must then fail).
KeySym VirtualKeyToKeySym(int virtualKey);

// wxMOD_ALT, wxMOD_CONTROL, wxMOD_SHIFT and wxMOD_WIN (1, 2, 4, 8) as
// Mod1, Control, Shift and Mod4; every other bit is dropped.
unsigned int HotKeyModifiersToX11(int modifiers);
