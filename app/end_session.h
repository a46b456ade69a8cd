#pragma once

// The end of the user's session, however the platform tells it: save
// everything, then quit without asking.  Call once the frame exists.
void InstallEndSession();

// Set once the end of the session has begun; from then on nothing may wait
// for the user.
void MarkSessionEnding();
bool IsSessionEnding();
