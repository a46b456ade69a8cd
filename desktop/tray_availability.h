#pragma once

// Whether the desktop has a notification area that can take an icon now.
// Where installing an icon reports its own failure this is simply true.
bool IsTrayAvailable();
