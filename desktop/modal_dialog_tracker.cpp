#include "desktop/modal_dialog_tracker.h"

#include <wx/defs.h>

int ModalDialogTracker::Enter(wxDialog*)
{
    ++m_open;
    return wxID_NONE;  // show the dialog as usual
}

void ModalDialogTracker::Exit(wxDialog*)
{
    --m_open;
}
