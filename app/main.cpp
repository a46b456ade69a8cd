#include "app/my_app.h"

// wxGetApp() lives with MyApp so that the tests can link the application
// object without this entry point.
wxAppConsole* wxCreateApp()
{
    wxAppConsole::CheckBuildOptions(WX_BUILD_OPTIONS_SIGNATURE, "Corvalin");
    return new MyApp;
}
wxAppInitializer wxTheAppInitializer(static_cast<wxAppInitializerFunction>(wxCreateApp));
wxIMPLEMENT_WXWIN_MAIN
