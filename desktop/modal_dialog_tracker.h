#pragma once

#include <wx/modalhook.h>

// Counts the modal dialogs that are open while it is registered.  On GTK a
// message box is a native dialog: it is neither in wxTopLevelWindows nor does
// it report IsModal(), but it does pass through the toolkit's modal hooks.
class ModalDialogTracker : public wxModalDialogHook
{
public:
    ModalDialogTracker() { Register(); }
    bool AnyOpen() const { return m_open > 0; }

protected:
    int Enter(wxDialog* dialog) override;
    void Exit(wxDialog* dialog) override;

private:
    int m_open = 0;
};
