#pragma once

// How the platform tells that the user's session ends.  platform/gtk on
// Linux, platform/win32.

#include <functional>

// Routes the platform's own ways of ending the session (signals, a lost
// display) to the callbacks; where the toolkit raises its query-end-session
// event itself there is nothing to do.  onEnd runs from the event loop.
// onDisplayLost runs inside whatever call noticed the loss, must make no
// window-system call, and the process ends when it returns.
void InstallEndSessionHooks(std::function<void()> onEnd, std::function<void()> onDisplayLost);
