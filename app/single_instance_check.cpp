#include "app/my_app.h"

#include <wx/log.h>
#include <wx/msgdlg.h>
#include <wx/utils.h>

#include "desktop/ipc_endpoint.h"
#include "desktop/single_instance.h"

bool MyApp::CheckSingleInstance(const wxString& message)
{
    const wxString instanceName = wxString::Format(L"%s_%s", GetAppName(), wxGetUserId());
    const wxString serviceName = instanceName + L"_server";
    const IpcEndpoint endpoint = MapIpcEndpoint(instanceName, serviceName);

    m_checker.reset(new wxSingleInstanceChecker);
    m_checker->Create(endpoint.lockName, endpoint.lockDirectory);

    if (m_checker->IsAnotherRunning())
    {
        wxLogNull noLog;
        stClient* client = new stClient;
        wxConnectionBase* connection =
            endpoint.service.empty()
                ? nullptr
                : client->MakeConnection(L"localhost", endpoint.service, GetAppName());
        if (connection)
        {
            connection->Execute(message);
            connection->Disconnect();
        }
        else
        {
            wxMessageBox(L"Sorry, the existing instance may be too busy too respond.\n"
                         L"Please close any open dialogs and retry.",
                         L"Message", wxOK | wxCENTRE);
        }
        delete connection;
        delete client;
        return false;
    }

    // Only now: creating the server replaces any socket at that path, which
    // would cut off a running first instance.
    m_server.reset(new stServer);
    if (!endpoint.service.empty())
        m_server->Create(endpoint.service);
    return true;
}
