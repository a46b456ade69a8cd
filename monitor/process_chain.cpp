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
    return FactsAt(pid, 0);
}

std::shared_ptr<const ProcessFacts> ProcessChains::FactsAt(unsigned long pid, unsigned depth)
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
    return Read(pid, depth);
}

std::shared_ptr<const ProcessFacts> ProcessChains::Read(unsigned long pid, unsigned depth)
{
    auto facts = std::make_shared<ProcessFacts>();
    if (!m_platform.ProcessDetails(pid, facts->process) || !facts->process.startedMs)
    {
        facts->process.pid = pid;
        facts->end = ChainEnd::Unreadable;
        return facts;
    }
    facts->commandLine = CleanCommandLine(facts->process.commandLine);
    const ProcessInfo& child = facts->process;
    // The system's first process, or none: the chain is whole.
    if (child.parentPid <= 1)
    {
        facts->end = ChainEnd::Root;
    }
    else if (depth >= kMaxDepth)
    {
        facts->end = ChainEnd::Limit;
    }
    else
    {
        // The parent's own facts, kept like any process's: a chain whose
        // parent is known costs one look at that parent's start.
        const std::shared_ptr<const ProcessFacts> above = FactsAt(child.parentPid, depth + 1);
        const ProcessInfo& parent = above->process;
        if (!parent.startedMs)
        {
            facts->end = ChainEnd::Gone;
        }
        // An id handed out again: whatever has it now is not the parent.
        else if (child.startedMs && *parent.startedMs > *child.startedMs)
        {
            facts->end = ChainEnd::Reused;
        }
        else
        {
            facts->parents.push_back(ProcessLink{parent.pid, parent.startedMs, parent.module,
                                                 parent.path, above->commandLine});
            if (IsSessionRoot(parent.module))
            {
                facts->end = ChainEnd::Root;
            }
            else
            {
                const size_t room = std::min(kMaxParents - 1, above->parents.size());
                facts->parents.insert(facts->parents.end(), above->parents.begin(),
                                      above->parents.begin() + static_cast<std::ptrdiff_t>(room));
                facts->end = above->parents.size() > room ? ChainEnd::Limit : above->end;
            }
        }
    }
    facts->launcher = LauncherName(facts->parents);
    Keep(pid, *facts->process.startedMs, facts);
    return facts;
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
