#pragma once

// wx/ipc.h chooses DDE or TCP by __WINDOWS__, which only wx/defs.h defines:
// without it first, Windows files would disagree on what wxServer is.
#include <wx/defs.h>
#include <wx/ipc.h>

#include "desktop/modal_dialogs.h"

class stConnection : public wxConnection
{
public:
    ~stConnection() override = default;
    bool OnExecute(const wxString& topic, const void* data, size_t size,
                   wxIPCFormat format) override;
};

class stServer : public wxServer
{
public:
    ~stServer() override = default;
    wxConnectionBase* OnAcceptConnection(const wxString& topic) override;

private:
    // Created with the server, before any dialog can open.
    ModalDialogTracker m_modalDialogs;
};

class stClient : public wxClient
{
public:
    wxConnectionBase* OnMakeConnection() override;
};
