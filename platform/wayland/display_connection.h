#pragma once

// A Wayland connection of our own that never waits longer than asked: a
// compositor may be stopped or stuck, and these calls run on the main loop.

#include <chrono>

struct wl_display;

// Connected to the session's compositor without waiting (libwayland's own
// connect() blocks for as long as a stuck compositor's queue of pending
// connections is full); null when it did not connect at once.
wl_display* ConnectDisplayWithoutWaiting();

// wl_display_roundtrip that gives up at the deadline: false then, or when
// the connection failed.
bool RoundtripBefore(wl_display* display, std::chrono::steady_clock::time_point deadline);
