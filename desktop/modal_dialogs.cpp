#include "desktop/modal_dialogs.h"

#include <wx/app.h>
#include <wx/dialog.h>

int ModalDialogTracker::Enter(wxDialog* dialog)
{
    m_open.insert(dialog);
    return wxID_NONE;  // show the dialog as usual
}

void ModalDialogTracker::Exit(wxDialog* dialog)
{
    m_open.erase(dialog);
    if (m_open.empty() && m_onAllClosed && wxTheApp)
        wxTheApp->CallAfter(m_onAllClosed);
}

wxDialog* LastModalDialog()
{
    wxDialog* modal = nullptr;
    for (wxWindowList::compatibility_iterator node = wxTopLevelWindows.GetFirst(); node;
         node = node->GetNext())
    {
        // Not wxDynamicCast: it static_casts to wxDialog before checking,
        // which is undefined for the frames in this list.
        wxWindow* window = node->GetData();
        if (!window->IsKindOf(wxCLASSINFO(wxDialog)))
            continue;
        wxDialog* dialog = static_cast<wxDialog*>(window);
        if (dialog->IsModal())
            modal = dialog;
    }
    return modal;
}
