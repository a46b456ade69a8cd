#pragma once

// The single-instance link's building blocks here: our own local socket link
// and a kernel-held lock (see local_link.h and instance_lock.h for why).
#include "platform/posix/instance_lock.h"
#include "platform/posix/local_link.h"

using IpcServer = LocalServer;
using IpcClient = LocalClient;
using IpcConnection = LocalConnection;
using IpcConnectionBase = LocalConnection;
using InstanceChecker = InstanceLock;
