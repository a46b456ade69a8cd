#pragma once

// Routes the platform's ways of ending the user's session to the same path
// as the toolkit's query-end-session event: save everything, then quit
// without asking.  Call once the toolkit is up and the frame exists.
void InstallEndSessionHandlers();

// Set once the end of the session has begun; from then on nothing may wait
// for the user.
void MarkSessionEnding();
bool IsSessionEnding();
