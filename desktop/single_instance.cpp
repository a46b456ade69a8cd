#include "desktop/single_instance.h"

#include <algorithm>

#include <wx/app.h>
#include <wx/ipcbase.h>

#include "desktop/frame_requests.h"

namespace
{
// The message as text, or false for data that is no text.  Conversion
// failures also come back as an empty string: the empty message must be
// nothing but zero bytes, so that garbage is not taken for show-or-hide.
bool ReadMessage(const void* data, size_t size, wxIPCFormat format, wxString& message)
{
    if (!data || !wxConnectionBase::IsTextFormat(format))
        return false;
    // DDE may hand over more than the text: it ends at the first NUL.
    message = wxConnectionBase::GetTextFromData(data, size, format).BeforeFirst(L'\0');
    if (!message.empty())
        return true;
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    return std::all_of(bytes, bytes + size, [](unsigned char byte) { return byte == 0; });
}
}  // namespace

bool stConnection::OnExecute(const wxString&, const void* data, size_t size, wxIPCFormat format)
{
    wxString message;
    if (!ReadMessage(data, size, format, message))
        return false;
    // Only the main frame answers these: nothing happens before it exists.
    if (message == kShowOrHideMessage)
        SendToTopWindow(EVT_SHOW_OR_HIDE_REQUEST);
    else if (message == kRecordNowMessage)
        SendToTopWindow(EVT_RECORD_NOW_REQUEST);
    else
        return false;  // from a newer version, or not from us at all
    return true;
}

IpcConnection* stServer::OnAcceptConnection(const wxString& topic)
{
    if (topic != wxTheApp->GetAppName())
        return nullptr;
    if (LastModalDialog() || m_modalDialogs.AnyOpen())
        return nullptr;
    return new stConnection;
}

IpcConnection* stClient::OnMakeConnection()
{
    return new stConnection;
}
