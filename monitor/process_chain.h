#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include <wx/string.h>

#include "platform/window_tracking.h"

// One process of a launcher chain, as the record names it.
struct ProcessLink
{
    unsigned long pid = 0;
    std::optional<std::int64_t> startedMs;
    wxString module;
    wxString path;
    // Kept to name a shell or an interpreter by the script it runs; cleaned.
    std::optional<wxString> commandLine;
};

// Why a chain of launchers ends where it does.
enum class ChainEnd
{
    Root,        // at the session's root (or the system's first process)
    Limit,       // after the most levels kept
    Reused,      // the next parent's id names a process started after its child
    Gone,        // the next parent ended before it could be read
    Unreadable,  // the process itself could not be read
};

// Who a process is, and who launched it, as read when its window first
// took the focus.
struct ProcessFacts
{
    ProcessInfo process;
    // The command line made fit to show and store: valid text, controls as
    // spaces, at most kMaxCommandLine characters with the cut marked.
    std::optional<wxString> commandLine;
    std::vector<ProcessLink> parents;  // nearest first
    ChainEnd end = ChainEnd::Unreadable;
    // The launcher that names who started it (LauncherName of the parents),
    // found once.
    wxString launcher;
};

// The command line as ProcessFacts keeps it.
std::optional<wxString> CleanCommandLine(const std::optional<wxString>& raw);

// Reads the facts of the processes behind windows and keeps them while the
// same process lives (the same id and start), so that a window that takes
// the focus again costs one cheap look at its process.
class ProcessChains
{
public:
    static constexpr size_t kMaxParents = 8;
    static constexpr size_t kMaxCommandLine = 2048;

    explicit ProcessChains(WindowPlatform& platform) : m_platform(platform) {}

    // The facts of the process now; Unreadable facts (pid only) when it is
    // gone.  Never null.
    std::shared_ptr<const ProcessFacts> Facts(unsigned long pid);

    // This user's processes started in [fromMs, untilMs], oldest first, at
    // most `most` of them, leaving out `except`; each with its own facts.
    std::vector<std::shared_ptr<const ProcessFacts>> StartedBetween(std::int64_t fromMs,
                                                                    std::int64_t untilMs,
                                                                    unsigned long except,
                                                                    size_t most);

private:
    struct Known
    {
        std::int64_t startedMs;
        std::shared_ptr<const ProcessFacts> facts;
        std::uint64_t used;
    };
    std::shared_ptr<const ProcessFacts> FactsAt(unsigned long pid, unsigned depth);
    std::shared_ptr<const ProcessFacts> Read(unsigned long pid, unsigned depth);
    void Keep(unsigned long pid, std::int64_t startedMs, std::shared_ptr<const ProcessFacts> facts);

    static constexpr size_t kMaxKnown = 512;
    // How far up a chain is read: past the chain's own limit, so that a
    // parent's chain is whole where its child's is.
    static constexpr unsigned kMaxDepth = 32;

    WindowPlatform& m_platform;
    std::map<unsigned long, Known> m_known;
    std::uint64_t m_uses = 0;
};
