#include "desktop/modal_dialog_tracker.h"

#include <wx/app.h>

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
