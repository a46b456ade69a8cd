#include "desktop/single_instance.h"

#include <wx/app.h>
#include <wx/dialog.h>

#include "frame/main_frame.h"

bool stConnection::OnExecute(const wxString&, const void*, size_t, wxIPCFormat)
{
    if (MainFrame* frame = wxDynamicCast(wxTheApp->GetTopWindow(), MainFrame))
        frame->ShowOrHide();
    return true;
}

wxConnectionBase* stServer::OnAcceptConnection(const wxString& topic)
{
    if (topic != wxTheApp->GetAppName())
        return nullptr;
    for (wxWindowList::compatibility_iterator node = wxTopLevelWindows.GetFirst(); node;
         node = node->GetNext())
    {
        wxDialog* dialog = wxDynamicCast(node->GetData(), wxDialog);
        if (dialog && dialog->IsModal())
            return nullptr;
    }
    if (m_modalDialogs.AnyOpen())
        return nullptr;
    return new stConnection;
}

wxConnectionBase* stClient::OnMakeConnection()
{
    return new stConnection;
}
