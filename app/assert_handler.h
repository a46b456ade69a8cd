#pragma once

// Sends failed toolkit assertions to the error stream instead of a modal
// dialog that would stop the monitor until someone answers it.
void InstallAssertHandler();
