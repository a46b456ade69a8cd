#include "app/end_session.h"

// TODO(settings): signals and loss of the X connection.
void InstallEndSessionHandlers()
{
}
