#include "app/end_session.h"

namespace
{
bool g_sessionEnding = false;
}

// The toolkit's Windows port raises the query-end-session event itself when
// the user logs off or the system shuts down; nothing more is needed.
void InstallEndSessionHandlers()
{
}

void MarkSessionEnding()
{
    g_sessionEnding = true;
}

bool IsSessionEnding()
{
    return g_sessionEnding;
}
