#include "app/my_app.h"

// TODO(desktop): lock and hand-over.
bool MyApp::CheckSingleInstance(const wxString&)
{
    return true;
}
