#pragma once

#include <functional>
#include <set>
#include <vector>

#include <wx/modalhook.h>

class wxDialog;

// Knows which modal dialogs are open while it is registered.  On GTK a
// message box is a native dialog: it is neither in wxTopLevelWindows nor does
// it report IsModal(), but it does pass through the toolkit's modal hooks.
class ModalDialogTracker : public wxModalDialogHook
{
public:
    ModalDialogTracker() { Register(); }
    bool AnyOpen() const { return !m_open.empty(); }
    std::vector<wxDialog*> Open() const { return {m_open.begin(), m_open.end()}; }
    // Called, through the event loop, each time the last open dialog closes.
    void OnAllClosed(std::function<void()> callback) { m_onAllClosed = std::move(callback); }

protected:
    int Enter(wxDialog* dialog) override;
    void Exit(wxDialog* dialog) override;

private:
    // A set rather than a count: a hook registered later (the test hook) may
    // keep Enter from being called while Exit still is.
    std::set<wxDialog*> m_open;
    std::function<void()> m_onAllClosed;
};

// The last modal dialog in the toolkit's list of top-level windows, or null.
wxDialog* LastModalDialog();
