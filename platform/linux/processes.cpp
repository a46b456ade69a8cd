// What /proc tells about a process, for every window backend on Linux.
#include "platform/linux/processes.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/processes.h"

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

namespace
{
// The moment the system booted, in ms since 1970: /proc counts a process's
// start from boot, with the time asleep included.  Kept once found, so that
// every start is put on one scale (a parent never reads as started after its
// child); found again only when the wall clock was set.
std::int64_t BootEpochMs()
{
    timespec real{}, boot{};
    clock_gettime(CLOCK_REALTIME, &real);
    clock_gettime(CLOCK_BOOTTIME, &boot);
    const std::int64_t realMs = std::int64_t(real.tv_sec) * 1000 + real.tv_nsec / 1000000;
    const std::int64_t bootMs = std::int64_t(boot.tv_sec) * 1000 + boot.tv_nsec / 1000000;
    static std::int64_t kept = realMs - bootMs;
    if (std::llabs(realMs - bootMs - kept) > 1000)
        kept = realMs - bootMs;
    return kept;
}

// Start (ms since 1970) and parent from /proc/<pid>/stat.  The short name in
// it may hold spaces and parentheses, so the fields are counted from the
// last ')'.
bool ReadStat(unsigned long pid, std::int64_t& startedMs, unsigned long& parentPid)
{
    std::string stat;
    if (!ReadProcFile(pid, "stat", 1024, stat))
        return false;
    const size_t close = stat.rfind(')');
    if (close == std::string::npos)
        return false;
    // Field 3 (state) follows the name; the parent is field 4, the start
    // field 22.
    const char* p = stat.c_str() + close + 1;
    unsigned long long ppid = 0, start = 0;
    for (int field = 3; field <= 22 && *p; ++field)
    {
        while (*p == ' ')
            ++p;
        if (field == 4)
            ppid = std::strtoull(p, nullptr, 10);
        else if (field == 22)
            start = std::strtoull(p, nullptr, 10);
        while (*p && *p != ' ')
            ++p;
    }
    static const long ticks = sysconf(_SC_CLK_TCK);
    if (ticks <= 0 || start == 0)
        return false;
    parentPid = static_cast<unsigned long>(ppid);
    startedMs = BootEpochMs() + static_cast<std::int64_t>(start * 1000 / static_cast<unsigned long long>(ticks));
    return true;
}

// The systemd unit of the process where it names an app the desktop
// started (app-…​.scope or .service, snap.….scope), from the unified
// hierarchy's line of /proc/<pid>/cgroup.
std::string AppUnit(const std::string& cgroup)
{
    size_t lineStart = 0;
    while (lineStart < cgroup.size())
    {
        size_t lineEnd = cgroup.find('\n', lineStart);
        if (lineEnd == std::string::npos)
            lineEnd = cgroup.size();
        const std::string line = cgroup.substr(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;
        if (line.compare(0, 3, "0::") != 0)
            continue;
        // The innermost component that names an app.
        size_t end = line.size();
        while (end > 3)
        {
            const size_t slash = line.rfind('/', end - 1);
            const size_t begin = slash == std::string::npos ? 3 : slash + 1;
            const std::string part = line.substr(begin, end - begin);
            const bool unit = part.size() > 6 && (part.compare(part.size() - 6, 6, ".scope") == 0 ||
                                                  (part.size() > 8 && part.compare(part.size() - 8, 8, ".service") == 0));
            if (unit && (part.compare(0, 4, "app-") == 0 || part.compare(0, 5, "snap.") == 0))
                return part;
            if (slash == std::string::npos)
                break;
            end = slash;
        }
    }
    return std::string();
}

wxString UserName(uid_t uid)
{
    // The account database is read anew by every lookup; names stay.
    static std::unordered_map<uid_t, wxString> known;
    const auto it = known.find(uid);
    if (it != known.end())
        return it->second;
    passwd entry{};
    passwd* found = nullptr;
    char buffer[1024];
    wxString name;
    if (getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found && found->pw_name)
        name = wxString::FromUTF8(found->pw_name);
    if (known.size() < 256)
        known[uid] = name;
    return name;
}
}  // namespace

bool ReadProcessStart(unsigned long pid, std::int64_t& startedMs, unsigned long& parentPid)
{
    return pid != 0 && ReadStat(pid, startedMs, parentPid);
}

bool ReadProcessInfo(unsigned long pid, ProcessInfo& info)
{
    info = ProcessInfo();
    info.pid = pid;
    std::int64_t started = 0;
    unsigned long parent = 0;
    if (pid == 0 || !ReadStat(pid, started, parent))
        return false;
    info.startedMs = started;
    info.parentPid = parent;
    ReadProcessModuleName(pid, info.module);
    ReadProcessExecutablePath(pid, info.path);
    // Arguments end in NULs; any user may read them (unless /proc hides
    // other users' processes).  An empty one is a kernel thread or a
    // process on its way out: nothing to say.
    std::string arguments;
    if (ReadProcFile(pid, "cmdline", 16 * 1024, arguments) && !arguments.empty())
    {
        while (!arguments.empty() && arguments.back() == '\0')
            arguments.pop_back();
        std::replace(arguments.begin(), arguments.end(), '\0', ' ');
        info.commandLine = FromFileName(arguments);
    }
    char dir[64];
    std::snprintf(dir, sizeof dir, "/proc/%lu", pid);
    struct stat status{};
    if (stat(dir, &status) == 0)
    {
        info.userId = wxString::Format(L"%lu", static_cast<unsigned long>(status.st_uid));
        info.user = UserName(status.st_uid);
    }
    std::string cgroup;
    if (ReadProcFile(pid, "cgroup", 4096, cgroup))
        info.unit = wxString::FromUTF8(AppUnit(cgroup));
    return true;
}

std::vector<unsigned long> ProcessesStartedSince(std::int64_t sinceMs)
{
    // A whole scan reads every process's stat (8 ms for a thousand); only
    // the pids not seen at the last scan are read again.  A pid used again
    // between two scans goes unnoticed; with pids handed out in turn that
    // takes the whole range to wrap meanwhile.
    struct Known
    {
        std::int64_t startedMs;
        bool ours;
        bool seen;
    };
    static std::unordered_map<unsigned long, Known> known;
    const uid_t me = getuid();
    for (auto& entry : known)
        entry.second.seen = false;
    if (DIR* proc = opendir("/proc"))
    {
        while (dirent* entry = readdir(proc))
        {
            char* end = nullptr;
            const unsigned long pid = std::strtoul(entry->d_name, &end, 10);
            if (pid == 0 || *end != '\0')
                continue;
            const auto it = known.find(pid);
            if (it != known.end())
            {
                it->second.seen = true;
                continue;
            }
            std::int64_t started = 0;
            unsigned long parent = 0;
            struct stat status{};
            if (fstatat(dirfd(proc), entry->d_name, &status, 0) != 0 || !ReadStat(pid, started, parent))
                continue;
            known[pid] = Known{started, status.st_uid == me, true};
        }
        closedir(proc);
    }
    std::vector<std::pair<std::int64_t, unsigned long>> found;
    for (auto it = known.begin(); it != known.end();)
    {
        if (!it->second.seen)
        {
            it = known.erase(it);
            continue;
        }
        if (it->second.ours && it->second.startedMs >= sinceMs)
            found.emplace_back(it->second.startedMs, it->first);
        ++it;
    }
    std::sort(found.begin(), found.end());
    std::vector<unsigned long> pids;
    pids.reserve(found.size());
    for (const auto& [started, pid] : found)
        pids.push_back(pid);
    return pids;
}

wxString OwnUserId()
{
    return wxString::Format(L"%lu", static_cast<unsigned long>(getuid()));
}
