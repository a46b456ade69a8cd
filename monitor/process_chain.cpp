#include "monitor/process_chain.h"

#include <algorithm>
#include <utility>

#include "monitor/culprit.h"

std::optional<wxString> CleanCommandLine(const std::optional<wxString>& raw)
{
    if (!raw)
        return std::nullopt;
    wxString text;
    text.reserve(std::min(raw->length(), ProcessChains::kMaxCommandLine + 1));
    for (wxString::const_iterator it = raw->begin(); it != raw->end(); ++it)
    {
        if (text.length() == ProcessChains::kMaxCommandLine)
        {
            text += L'\u2026';
            break;
        }
        wxUint32 code = wxUniChar(*it).GetValue();
        // Line breaks, escapes and direction marks could make a shown line
        // lie about what it says.
        if (code < 0x20 || (code >= 0x7F && code <= 0x9F) || code == 0x2028 || code == 0x2029 ||
            (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069))
            code = L' ';
        text += wxUniChar(code);
    }
    text.Trim();
    if (text.empty())
        return std::nullopt;
    return text;
}

std::shared_ptr<const ProcessFacts> ProcessChains::Facts(unsigned long pid)
{
    std::int64_t started = 0;
    unsigned long parent = 0;
    if (pid == 0 || !m_platform.ProcessStart(pid, started, parent))
    {
        auto gone = std::make_shared<ProcessFacts>();
        gone->process.pid = pid;
        return gone;
    }
    const auto it = m_known.find(pid);
    if (it != m_known.end() && it->second.startedMs == started)
    {
        it->second.used = ++m_uses;
        return it->second.facts;
    }
    return Read(pid);
}

std::shared_ptr<const ProcessFacts> ProcessChains::Read(unsigned long pid)
{
    auto facts = std::make_shared<ProcessFacts>();
    if (!m_platform.ProcessDetails(pid, facts->process) || !facts->process.startedMs)
    {
        facts->process.pid = pid;
        facts->end = ChainEnd::Unreadable;
        return facts;
    }
    facts->commandLine = CleanCommandLine(facts->process.commandLine);
    facts->end = ChainEnd::Limit;
    ProcessInfo child = facts->process;
    ProcessInfo parent;
    while (facts->parents.size() < kMaxParents)
    {
        // The system's first process, or none: the chain is whole.
        if (child.parentPid <= 1)
        {
            facts->end = ChainEnd::Root;
            break;
        }
        if (!ReadParent(child.parentPid, parent))
        {
            facts->end = ChainEnd::Gone;
            break;
        }
        // An id handed out again: whatever has it now is not the parent.
        if (child.startedMs && *parent.startedMs > *child.startedMs)
        {
            facts->end = ChainEnd::Reused;
            break;
        }
        facts->parents.push_back(ProcessLink{parent.pid, parent.startedMs, parent.module,
                                             parent.path, CleanCommandLine(parent.commandLine)});
        if (IsSessionRoot(parent.module))
        {
            facts->end = ChainEnd::Root;
            break;
        }
        child = std::move(parent);
        parent = ProcessInfo();
    }
    facts->launcher = LauncherName(facts->parents);
    Keep(pid, *facts->process.startedMs, facts);
    return facts;
}

bool ProcessChains::ReadParent(unsigned long pid, ProcessInfo& info)
{
    // Parents are the same few processes (a shell, a session) over and over:
    // known ones cost one look at their start.
    std::int64_t started = 0;
    unsigned long parent = 0;
    if (!m_platform.ProcessStart(pid, started, parent))
        return false;
    const auto it = m_parents.find(pid);
    if (it != m_parents.end() && it->second.startedMs == started)
    {
        info = it->second;
        return true;
    }
    if (!m_platform.ProcessDetails(pid, info) || !info.startedMs)
        return false;
    if (m_parents.size() >= kMaxKnown)
        m_parents.clear();
    m_parents[pid] = info;
    return true;
}

void ProcessChains::Keep(unsigned long pid, std::int64_t startedMs,
                         std::shared_ptr<const ProcessFacts> facts)
{
    if (m_known.size() >= kMaxKnown && m_known.count(pid) == 0)
    {
        const auto oldest = std::min_element(m_known.begin(), m_known.end(),
                                             [](const auto& a, const auto& b) {
                                                 return a.second.used < b.second.used;
                                             });
        m_known.erase(oldest);
    }
    m_known[pid] = Known{startedMs, std::move(facts), ++m_uses};
}

std::vector<std::shared_ptr<const ProcessFacts>> ProcessChains::StartedBetween(
    std::int64_t fromMs, std::int64_t untilMs, unsigned long except, size_t most)
{
    std::vector<std::shared_ptr<const ProcessFacts>> found;
    for (unsigned long pid : m_platform.RecentProcesses(fromMs))
    {
        if (found.size() >= most)
            break;
        if (pid == except)
            continue;
        std::shared_ptr<const ProcessFacts> facts = Facts(pid);
        if (!facts->process.startedMs || *facts->process.startedMs > untilMs)
            continue;
        found.push_back(std::move(facts));
    }
    return found;
}
