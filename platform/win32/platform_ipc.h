#pragma once

// The single-instance link's building blocks on Windows: the toolkit's DDE
// classes and its named-mutex instance checker.
// wx/ipc.h chooses DDE or TCP by __WINDOWS__, which only wx/defs.h defines.
#include <wx/defs.h>
#include <wx/ipc.h>
#include <wx/snglinst.h>

using IpcServer = wxServer;
using IpcClient = wxClient;
using IpcConnection = wxConnection;
using IpcConnectionBase = wxConnectionBase;
using InstanceChecker = wxSingleInstanceChecker;
