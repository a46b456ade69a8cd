#include "desktop/single_instance.h"

#include <wx/app.h>

#include "desktop/frame_requests.h"

bool stConnection::OnExecute(const wxString&, const void*, size_t, wxIPCFormat)
{
    // Only the main frame answers this: nothing happens before it exists.
    SendToTopWindow(EVT_SHOW_OR_HIDE_REQUEST);
    return true;
}

IpcConnectionBase* stServer::OnAcceptConnection(const wxString& topic)
{
    if (topic != wxTheApp->GetAppName())
        return nullptr;
    if (LastModalDialog() || m_modalDialogs.AnyOpen())
        return nullptr;
    return new stConnection;
}

IpcConnectionBase* stClient::OnMakeConnection()
{
    return new stConnection;
}
