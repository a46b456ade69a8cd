#include "desktop/frame_requests.h"

#include <wx/app.h>
#include <wx/window.h>

wxDEFINE_EVENT(EVT_SHOW_OR_HIDE_REQUEST, wxCommandEvent);
wxDEFINE_EVENT(EVT_QUIT_REQUEST, wxCommandEvent);
wxDEFINE_EVENT(EVT_RECORD_NOW_REQUEST, wxCommandEvent);

void SendToTopWindow(wxEventType request)
{
    wxWindow* top = wxTheApp ? wxTheApp->GetTopWindow() : nullptr;
    // The toolkit owns the frame; once it is being destroyed it must not be
    // touched.
    if (!top || top->IsBeingDeleted() || !wxTopLevelWindows.Find(top))
        return;
    wxCommandEvent event(request, top->GetId());
    event.SetEventObject(top);
    top->GetEventHandler()->ProcessEvent(event);
}
