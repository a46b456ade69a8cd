#pragma once

// Naming a process from /proc, shared by the window backends of Linux.

#include <wx/string.h>

// The executable's file name without folder, also for other users'
// processes (for those, the name it was started as); false when nothing of
// the process can be read.
bool ReadProcessModuleName(unsigned long pid, wxString& name);
// The executable's full path; false where none is known for certain.
bool ReadProcessExecutablePath(unsigned long pid, wxString& path);
// Writes to standard error while a debugger is attached, else nothing.
void WriteToAttachedDebugger(const wxString& text);
