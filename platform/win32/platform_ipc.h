#pragma once

// The single-instance link's building blocks on Windows: the toolkit's DDE
// classes and its named-mutex instance checker.
// wx/ipc.h chooses DDE or TCP by __WINDOWS__, which only wx/defs.h defines.
#include <wx/defs.h>
#include <wx/ipc.h>
#include <wx/log.h>
#include <wx/snglinst.h>

using IpcServer = wxServer;
// DDE cannot tell a server that refused from none at all.  The answer is
// only needed where an instance lock can be lost, which a named mutex cannot.
class IpcClient : public wxClient
{
public:
    bool PeerAnswered() const { return false; }
};
using IpcConnection = wxConnection;
using IpcConnectionBase = wxConnectionBase;
// The toolkit's checker, able to say why it failed.
class InstanceChecker : public wxSingleInstanceChecker
{
public:
    bool Create(const wxString& name, const wxString& path = wxEmptyString)
    {
        if (wxSingleInstanceChecker::Create(name, path))
            return true;
        m_problem = wxString::Format(L"\"%s\": %s", name, wxSysErrorMsgStr());
        return false;
    }
    const wxString& Problem() const { return m_problem; }

private:
    wxString m_problem;
};
