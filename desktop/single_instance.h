#pragma once

#include <wx/ipc.h>

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
};

class stClient : public wxClient
{
public:
    wxConnectionBase* OnMakeConnection() override;
};
