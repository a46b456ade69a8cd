#include "app/my_app.h"

wxIMPLEMENT_APP(MyApp);
