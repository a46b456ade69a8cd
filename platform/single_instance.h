#pragma once

// Where two starts of the program meet.  platform/linux on Linux,
// platform/win32 on Windows.

#include <wx/string.h>

// ---------------------------------------------------------------------------
// Single-instance lock and service

// Where two starts of the program meet: the instance lock and the local
// service that the second start calls.
struct IpcEndpoint
{
    wxString lockName;
    wxString lockDirectory;  // empty: the lock's default location
    wxString service;        // empty: no service can be offered or reached
    wxString problem;        // why there is no service, in words for the user
    // A lock file can be deleted or replaced under a running instance, so
    // even a lock just taken does not prove that none runs; a named mutex
    // cannot be.
    bool lockMayBeLost = false;
};
IpcEndpoint MapIpcEndpoint(const wxString& instanceName, const wxString& serviceName);

// Lets the process that owns the foreground window now hand it to the
// running instance, which would otherwise be refused it.  Called by a
// second start just before it connects.
void AllowOtherInstanceForeground();
