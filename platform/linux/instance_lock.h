#pragma once

#include <wx/string.h>

// One running instance per lock file, with the toolkit checker's interface.
// The lock is an flock() on an open file, held for the object's life.
class InstanceLock
{
public:
    InstanceLock() = default;
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;
    ~InstanceLock();

    // name is the file name, path its folder (the home folder when empty).
    // False only when the lock could not be taken or looked at at all.
    bool Create(const wxString& name, const wxString& path = wxEmptyString);
    // True when another process holds the lock.  False when no lock could be
    // made: Create said so, and Problem says why.
    bool IsAnotherRunning() const { return m_anotherRunning; }
    // Why Create failed, naming the file; empty after a success.
    const wxString& Problem() const { return m_problem; }

private:
    void Release();

    int m_fd = -1;
    bool m_anotherRunning = false;
    wxString m_problem;
};
