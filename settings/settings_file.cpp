#include "settings/settings_file.h"

#include <wx/app.h>
#include <wx/convauto.h>

wxFileConfig* OpenSettingsFile(const wxString& path)
{
    const wxString appName = wxTheApp ? wxTheApp->GetAppName() : wxString(L"Corvalin");
    const wxString vendorName = wxTheApp ? wxTheApp->GetVendorName() : wxString(L"Pellowen");
    return new wxFileConfig(appName, vendorName, path, wxString(),
                            wxCONFIG_USE_LOCAL_FILE | wxCONFIG_USE_GLOBAL_FILE, wxConvAuto());
}
