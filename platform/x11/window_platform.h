#pragma once

// The X11 window backend: EWMH properties and events on a connection of its
// own.  On a display it cannot open, every query answers "no window".

#include <memory>

#include "platform/window_tracking.h"

std::unique_ptr<WindowPlatform> CreateX11WindowPlatform();
