#pragma once

#include "platform/instance_link.h"

#include "desktop/modal_dialogs.h"

// What a second start asks of the running instance, as the text it executes
// on the link.  Older versions send the empty text, so it keeps its meaning.
constexpr const wchar_t kShowOrHideMessage[] = L"";
constexpr const wchar_t kRecordNowMessage[] = L"record-now";

class stConnection : public IpcConnection
{
public:
    ~stConnection() override = default;
    // Passes a known message on to the frame; anything else is not handled.
    bool OnExecute(const wxString& topic, const void* data, size_t size,
                   wxIPCFormat format) override;
};

class stServer : public IpcServer
{
public:
    ~stServer() override = default;
    IpcConnection* OnAcceptConnection(const wxString& topic) override;

private:
    // Created with the server, before any dialog can open.
    ModalDialogTracker m_modalDialogs;
};

class stClient : public IpcClient
{
public:
    IpcConnection* OnMakeConnection() override;
};
