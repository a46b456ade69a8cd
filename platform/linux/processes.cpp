// What /proc tells about a process, for every window backend on Linux.
#include "platform/linux/processes.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <string>

namespace
{
bool ReadProcFile(unsigned long pid, const char* entry, size_t limit, std::string& bytes);
bool ReadShortName(unsigned long pid, std::string& name);

// Where the executable is: the /proc link, readable only for processes
// we may trace (our own user's); else argv[0], which any user may read.
// A process can rewrite its arguments into anything (one string with
// spaces, another program's name): argv[0] counts only while its file
// name starts with the kernel's short name of the process.  With
// fullPath, only an absolute argv[0] is taken.
bool ExecutablePathBytes(unsigned long pid, std::string& bytes, bool fullPath)
{
    char link[64];
    std::snprintf(link, sizeof link, "/proc/%lu/exe", pid);
    char target[PATH_MAX];
    const ssize_t length = readlink(link, target, sizeof target - 1);
    if (length > 0)
    {
        bytes.assign(target, static_cast<size_t>(length));
        return true;
    }
    std::string arguments, comm;
    if (!ReadProcFile(pid, "cmdline", PATH_MAX + 1, arguments))
        return false;
    const size_t end = arguments.find('\0');
    // No end within the longest path: not a path, and its name unknown.
    if (end == std::string::npos && arguments.size() > PATH_MAX)
        return false;
    arguments.resize(std::min(end, arguments.size()));
    const size_t nameStart = arguments.find_last_of('/') + 1;
    if (nameStart == arguments.size() || (fullPath && arguments[0] != '/'))
        return false;
    if (ReadShortName(pid, comm) && arguments.compare(nameStart, comm.size(), comm) != 0)
        return false;
    bytes = std::move(arguments);
    return true;
}

// The kernel's short name of the process, which any user may read: the
// file name it was started as, cut to 15 bytes, unless it renamed itself.
bool ReadShortName(unsigned long pid, std::string& name)
{
    if (!ReadProcFile(pid, "comm", 64, name))
        return false;
    if (!name.empty() && name.back() == '\n')
        name.pop_back();
    return !name.empty();
}

// Up to limit bytes of /proc/<pid>/<entry>; false when it cannot be read.
bool ReadProcFile(unsigned long pid, const char* entry, size_t limit, std::string& bytes)
{
    char name[64];
    std::snprintf(name, sizeof name, "/proc/%lu/%s", pid, entry);
    const int fd = open(name, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bytes.resize(limit);
    size_t got = 0;
    bool ok = true;
    while (got < limit)
    {
        const ssize_t n = read(fd, &bytes[got], limit - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
        {
            ok = n == 0;
            break;
        }
        got += static_cast<size_t>(n);
    }
    close(fd);
    bytes.resize(got);
    return ok;
}

// File names are bytes; most are UTF-8, and the rest are shown as Latin-1
// rather than not at all.
wxString FromFileName(const std::string& bytes)
{
    wxString text = wxString::FromUTF8(bytes.data(), bytes.size());
    if (text.empty())
        text = wxString(bytes.data(), wxConvISO8859_1, bytes.size());
    return text;
}

bool TracerAttached()
{
    FILE* status = std::fopen("/proc/self/status", "r");
    if (!status)
        return false;
    char line[256];
    long tracer = 0;
    while (std::fgets(line, sizeof line, status))
    {
        if (std::sscanf(line, "TracerPid: %ld", &tracer) == 1)
            break;
    }
    std::fclose(status);
    return tracer != 0;
}
}  // namespace

bool ReadProcessModuleName(unsigned long pid, wxString& name)
{
    std::string bytes;
    if (ExecutablePathBytes(pid, bytes, false))
        bytes.erase(0, bytes.find_last_of('/') + 1);
    else if (!ReadShortName(pid, bytes))
        return false;
    name = FromFileName(bytes);
    // Any process can put line breaks into its name; they must not split
    // a line of the log.
    for (wxString::iterator it = name.begin(); it != name.end(); ++it)
    {
        const wxUint32 code = wxUniChar(*it).GetValue();
        if (code < 0x20 || (code >= 0x7F && code <= 0x9F) || code == 0x2028 || code == 0x2029)
            *it = L' ';
    }
    return !name.empty();
}

bool ReadProcessExecutablePath(unsigned long pid, wxString& path)
{
    std::string bytes;
    if (!ExecutablePathBytes(pid, bytes, true))
        return false;
    path = FromFileName(bytes);
    return !path.empty();
}

void WriteToAttachedDebugger(const wxString& text)
{
    // The nearest thing to a debugger's output window: the traced process's
    // standard error, written only while a debugger is attached.
    if (!TracerAttached())
        return;
    const wxScopedCharBuffer utf8 = text.utf8_str();
    ssize_t ignored = write(STDERR_FILENO, utf8.data(), utf8.length());
    (void)ignored;
}
