#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// What the desktop notifications say about unprompted takes, and when: at
// most one notice per gap; thefts that end meanwhile wait and are summed up
// in the next one, so a burst never floods the desktop.
class TheftNotices
{
public:
    static constexpr std::int64_t kDefaultGapMs = 5000;

    explicit TheftNotices(std::int64_t gapMs = kDefaultGapMs) : m_gapMs(gapMs) {}

    // A theft by `module` (UTF-8) of the window titled `title`, taken at
    // `at` (the time as the notice shows it), ended after heldMs.
    void Add(const std::string& module, std::int64_t heldMs, const std::string& title = std::string(),
             const std::string& at = std::string());
    // A try at the focus by `module` that the desktop refused, at `at`.
    void AddAttempt(const std::string& module, const std::string& at = std::string());
    // The notice to show at nowMs, if one is due: "xterm took the focus at
    // 17:05:03, “Update”; held 120 ms", or the sum of all that waited,
    // since the first one's time.  What it tells is then forgotten.  UTF-8.
    std::optional<std::string> Take(std::int64_t nowMs);
    // When the waiting thefts may be told; unset when none wait.
    std::optional<std::int64_t> DueMs() const;
    // Switched off: nothing waits any more.
    void Clear()
    {
        m_waiting.clear();
        m_thefts = 0;
        m_attempts = 0;
        m_firstAt.clear();
    }

private:
    std::string Since() const;

    struct Waiting
    {
        long long count = 0;
        std::int64_t shortestMs = 0;
        std::size_t order = 0;  // first seen, for a stable order among equals
        std::string title;      // of its last theft
        long long attempts = 0; // tries refused
    };

    std::int64_t m_gapMs;
    std::optional<std::int64_t> m_lastShownMs;
    // By program, so that a flood costs no more than a few programs do.
    std::map<std::string, Waiting> m_waiting;
    long long m_thefts = 0;
    long long m_attempts = 0;
    std::string m_firstAt;  // when the first theft that waits was taken
};
