// What a process tells about itself on Windows: the process's own queries,
// and where it refuses them, the Tool Help process snapshot for its parent
// and file name, which it gives of every process.
// Nothing here reads another process's memory.
#include "platform/processes.h"

#include <windows.h>
#include <sddl.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <algorithm>
#include <map>
#include <utility>
#include <vector>

namespace
{
// Closes what it holds, on every path out.
class OwnedHandle
{
public:
    explicit OwnedHandle(HANDLE handle) : m_handle(handle == INVALID_HANDLE_VALUE ? nullptr : handle) {}
    ~OwnedHandle()
    {
        if (m_handle)
            ::CloseHandle(m_handle);
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    HANDLE get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }

private:
    HANDLE m_handle;
};

// The limited right is the least there is to ask for: most processes grant
// it even to other users.
HANDLE OpenForQuery(DWORD pid)
{
    return pid == 0 ? nullptr : ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
}

bool StillRunning(HANDLE process)
{
    DWORD code = 0;
    return ::GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
}

// FILETIME counts 100 ns steps from 1601-01-01 UTC.
constexpr std::int64_t kFileTimeAt1970 = 116444736000000000LL;

std::optional<std::int64_t> StartOf(HANDLE process)
{
    FILETIME created, exited, kernel, user;
    if (!::GetProcessTimes(process, &created, &exited, &kernel, &user))
        return std::nullopt;
    const std::int64_t ticks =
        static_cast<std::int64_t>((static_cast<std::uint64_t>(created.dwHighDateTime) << 32) |
                                  created.dwLowDateTime);
    if (ticks == 0)
        return std::nullopt;
    return (ticks - kFileTimeAt1970) / 10000;
}

// ntdll's query is not in the import libraries of every tool chain, and
// the classes used here are not in every header: it is looked up, and the
// class numbers are the system's.
using NtQueryInformationProcessFn = LONG(NTAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);
constexpr ULONG kProcessBasicInformation = 0;
constexpr ULONG kProcessCommandLineInformation = 60;
constexpr LONG kStatusInfoLengthMismatch = static_cast<LONG>(0xC0000004L);
constexpr LONG kStatusBufferTooSmall = static_cast<LONG>(0xC0000023L);

NtQueryInformationProcessFn NtQuery()
{
    static const auto query = reinterpret_cast<NtQueryInformationProcessFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    return query;
}

bool ParentOf(HANDLE process, unsigned long& parent)
{
    PROCESS_BASIC_INFORMATION basic{};
    ULONG length = 0;
    const NtQueryInformationProcessFn query = NtQuery();
    if (!query || query(process, kProcessBasicInformation, &basic, sizeof basic, &length) != 0)
        return false;
    parent = static_cast<unsigned long>(basic.InheritedFromUniqueProcessId);
    return true;
}

// The command line as the process was given it.  Windows 8.1 and later
// answer this for a process opened with the limited right; older systems
// (and Wine 8, which does not know the class) leave it unread.
std::optional<wxString> CommandLineOf(HANDLE process, DWORD pid)
{
    std::optional<wxString> line;
    const NtQueryInformationProcessFn query = NtQuery();
    std::vector<unsigned char> buffer(2048);
    for (int attempt = 0; query && attempt < 3; ++attempt)
    {
        ULONG needed = 0;
        const LONG status = query(process, kProcessCommandLineInformation, buffer.data(),
                                  static_cast<ULONG>(buffer.size()), &needed);
        if ((status == kStatusInfoLengthMismatch || status == kStatusBufferTooSmall) &&
            needed > buffer.size() && needed <= 1024 * 1024)
        {
            buffer.resize(needed);
            continue;
        }
        if (status == 0)
        {
            const auto* text = reinterpret_cast<const UNICODE_STRING*>(buffer.data());
            line = text->Buffer ? wxString(text->Buffer, text->Length / sizeof(wchar_t)) : wxString();
        }
        break;
    }
    // Our own is ours to read wherever the query is missing.
    if (!line && pid == ::GetCurrentProcessId())
        line = wxString(::GetCommandLineW());
    if (line)
    {
        for (wxString::iterator it = line->begin(); it != line->end(); ++it)
        {
            const wxUint32 code = wxUniChar(*it).GetValue();
            if (code < 0x20 || code == 0x7F)
                *it = L' ';
        }
    }
    return line;
}

bool ImagePathOf(HANDLE process, wxString& path)
{
    std::vector<wchar_t> buffer(32768);
    DWORD size = static_cast<DWORD>(buffer.size());
    if (!::QueryFullProcessImageNameW(process, 0, buffer.data(), &size) || size == 0)
        return false;
    path = wxString(buffer.data(), size);
    return true;
}

// The token's TOKEN_USER record; empty when it cannot be read.
std::vector<unsigned char> TokenUserOf(HANDLE token)
{
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<unsigned char> buffer(size);
    if (size == 0 || !::GetTokenInformation(token, TokenUser, buffer.data(), size, &size))
        buffer.clear();
    return buffer;
}

wxString SidText(PSID sid)
{
    wchar_t* text = nullptr;
    if (!::ConvertSidToStringSidW(sid, &text))
        return wxString();
    wxString result(text);
    ::LocalFree(text);
    return result;
}

// The account's name, DOMAIN\name where it has a domain.  A domain
// account's lookup may go over the network: each SID is looked up once.
wxString AccountName(PSID sid, const wxString& sidText)
{
    static std::map<wxString, wxString> known;
    const auto it = known.find(sidText);
    if (it != known.end())
        return it->second;
    wchar_t name[256];
    wchar_t domain[256];
    DWORD nameSize = 256;
    DWORD domainSize = 256;
    SID_NAME_USE use;
    wxString account;
    if (::LookupAccountSidW(nullptr, sid, name, &nameSize, domain, &domainSize, &use))
        account = domain[0] ? wxString(domain) + L"\\" + wxString(name) : wxString(name);
    // A SID with no name now may get one (a domain reachable again): only
    // names are kept, and only a bounded number of them.
    if (!account.empty() && known.size() < 64)
        known.emplace(sidText, account);
    return account;
}

// The user and elevation of the process behind the handle; false when its
// token cannot be read.
bool ReadToken(HANDLE process, ProcessInfo* info, wxString& sidText)
{
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(process, TOKEN_QUERY, &raw))
        return false;
    OwnedHandle token(raw);
    std::vector<unsigned char> user = TokenUserOf(token.get());
    if (user.empty())
        return false;
    const PSID sid = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
    sidText = SidText(sid);
    if (info)
    {
        info->userId = sidText;
        info->user = AccountName(sid, sidText);
        TOKEN_ELEVATION elevation{};
        DWORD size = 0;
        if (::GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size))
            info->elevated = elevation.TokenIsElevated != 0;
    }
    return !sidText.empty();
}

struct SnapshotEntry
{
    DWORD pid;
    DWORD parent;
    wxString exe;
};

// Every process running now, with its parent and file name.
std::vector<SnapshotEntry> TakeSnapshot()
{
    std::vector<SnapshotEntry> entries;
    OwnedHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot)
        return entries;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL ok = ::Process32FirstW(snapshot.get(), &entry); ok; ok = ::Process32NextW(snapshot.get(), &entry))
        entries.push_back(SnapshotEntry{entry.th32ProcessID, entry.th32ParentProcessID, wxString(entry.szExeFile)});
    return entries;
}
}  // namespace

bool ReadProcessInfo(unsigned long pid, ProcessInfo& info)
{
    info = ProcessInfo();
    info.pid = pid;
    OwnedHandle process(OpenForQuery(static_cast<DWORD>(pid)));
    if (process && !StillRunning(process.get()))
        return false;
    // An open process names its parent and executable itself, without the
    // snapshot of every process (about 2 ms under Wine, asked for each
    // launcher of a chain).  While the handle is held, the id cannot pass
    // to another process.
    if (process && ImagePathOf(process.get(), info.path) && ParentOf(process.get(), info.parentPid))
    {
        info.module = info.path.AfterLast(L'\\');
    }
    else
    {
        const std::vector<SnapshotEntry> all = TakeSnapshot();
        const auto listed = std::find_if(all.begin(), all.end(),
                                         [pid](const SnapshotEntry& e) { return e.pid == pid; });
        if (listed == all.end())
            return false;  // gone, or never was
        info.parentPid = listed->parent;
        info.module = listed->exe;
    }
    // A process that refuses the limited right (the system's own) tells
    // nothing more.
    if (!process)
        return true;
    info.startedMs = StartOf(process.get());
    info.commandLine = CommandLineOf(process.get(), static_cast<DWORD>(pid));
    wxString sid;
    ReadToken(process.get(), &info, sid);
    return true;
}

bool ReadProcessStart(unsigned long pid, std::int64_t& startedMs, unsigned long& parentPid)
{
    // Under Wine a process snapshot costs about 2 ms with a dozen processes;
    // the handle's own queries about 0.04 ms.
    OwnedHandle process(OpenForQuery(static_cast<DWORD>(pid)));
    if (!process || !StillRunning(process.get()))
        return false;
    const std::optional<std::int64_t> started = StartOf(process.get());
    unsigned long parent = 0;
    if (!started || !ParentOf(process.get(), parent))
        return false;
    startedMs = *started;
    parentPid = parent;
    return true;
}

std::vector<unsigned long> ProcessesStartedSince(std::int64_t sinceMs)
{
    const wxString own = OwnUserId();
    std::vector<std::pair<std::int64_t, unsigned long>> found;
    if (own.empty())
        return {};
    for (const SnapshotEntry& entry : TakeSnapshot())
    {
        OwnedHandle process(OpenForQuery(entry.pid));
        if (!process)
            continue;
        const std::optional<std::int64_t> started = StartOf(process.get());
        if (!started || *started < sinceMs)
            continue;
        wxString sid;
        if (!ReadToken(process.get(), nullptr, sid) || sid != own)
            continue;
        found.emplace_back(*started, entry.pid);
    }
    std::sort(found.begin(), found.end());
    std::vector<unsigned long> pids;
    pids.reserve(found.size());
    for (const auto& start : found)
        pids.push_back(start.second);
    return pids;
}

wxString OwnUserId()
{
    // A process keeps its user for life.
    static const wxString own = [] {
        wxString sid;
        ReadToken(::GetCurrentProcess(), nullptr, sid);
        return sid;
    }();
    return own;
}
