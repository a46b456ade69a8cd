#include "platform/linux/instance_lock.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>

#include <wx/intl.h>
#include <wx/log.h>
#include <wx/utils.h>

// Why flock() and not a file holding a PID: the kernel drops the lock when
// the last descriptor goes, so a crash or SIGKILL leaves nothing that blocks
// the next start, and a PID in a stale file that now names some unrelated
// live process (PID reuse) cannot either.  The file itself stays: removing a
// locked file would let two processes lock two different files of one name.

InstanceLock::~InstanceLock()
{
    Release();
}

void InstanceLock::Release()
{
    if (m_fd >= 0)
        close(m_fd);  // drops the lock
    m_fd = -1;
    m_anotherRunning = false;
}

bool InstanceLock::Create(const wxString& name, const wxString& path)
{
    Release();
    m_problem.clear();
    if (name.empty() || name.Contains(L"/"))
    {
        m_problem = wxString::Format(_("\"%s\" is no file name"), name);
        return false;
    }
    wxString folder = path.empty() ? wxGetHomeDir() : path;
    if (!folder.EndsWith(L"/"))
        folder += L"/";
    const wxString fileName = folder + name;
    auto fail = [&](const wxString& why) {
        m_problem = wxString::Format(L"\"%s\" %s", fileName, why);
        return false;
    };

    int fd;
    do
        fd = open(fileName.fn_str(), O_CREAT | O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return fail(wxString::Format(_("cannot be opened: %s"), wxSysErrorMsgStr(errno)));
    // Only a plain file of ours: a FIFO or someone else's file is no lock.
    struct stat status;
    if (fstat(fd, &status) != 0 || !S_ISREG(status.st_mode) || status.st_uid != geteuid())
    {
        close(fd);
        return fail(_("is not a plain file of this user"));
    }
    int locked;
    do
        locked = flock(fd, LOCK_EX | LOCK_NB);
    while (locked != 0 && errno == EINTR);
    if (locked != 0)
    {
        const int code = errno;
        m_anotherRunning = code == EWOULDBLOCK;
        close(fd);
        return m_anotherRunning ||
               fail(wxString::Format(_("cannot be locked: %s"), wxSysErrorMsgStr(code)));
    }
    m_fd = fd;

    // For people looking at the file; never read back.
    char text[32];
    const int length = std::snprintf(text, sizeof(text), "%ld\n", static_cast<long>(getpid()));
    if (ftruncate(fd, 0) == 0 && length > 0)
    {
        ssize_t written;
        do
            written = pwrite(fd, text, static_cast<size_t>(length), 0);
        while (written < 0 && errno == EINTR);
    }
    return true;
}
