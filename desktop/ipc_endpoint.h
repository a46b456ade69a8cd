#pragma once

#include <wx/string.h>

// Where two starts of the program meet: the instance lock and the local
// service that the second start calls.
struct IpcEndpoint
{
    wxString lockName;
    wxString lockDirectory;  // empty: the checker's default location
    wxString service;        // empty: no service can be offered or reached
};

IpcEndpoint MapIpcEndpoint(const wxString& instanceName, const wxString& serviceName);
