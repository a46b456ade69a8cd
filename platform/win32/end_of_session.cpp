// How a session ends on Windows.
#include "platform/end_of_session.h"

// The toolkit's Windows port raises the query-end-session event itself when
// the user logs off or the system shuts down.
void InstallEndSessionHooks(std::function<void()>, std::function<void()>)
{
}
