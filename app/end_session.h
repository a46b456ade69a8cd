#pragma once

// Routes the platform's ways of ending the user's session to the same path
// as the toolkit's query-end-session event: save everything, then quit
// without asking.
void InstallEndSessionHandlers();
