#pragma once

#include "desktop/hot_key_event.h"

class wxWindow;

// Registers a system-wide key combination: keyCode is a Windows virtual-key
// code, modifiers the toolkit's wxMOD_ALT/CONTROL/SHIFT/WIN bits (others are
// dropped).  While registered, the combination sends the window a hot-key
// event with the given id.  False when the platform refuses it.
bool RegisterGlobalHotKey(wxWindow* window, int id, int modifiers, int keyCode);
// Releases it; harmless when nothing is registered.
void UnregisterGlobalHotKey(wxWindow* window, int id);
