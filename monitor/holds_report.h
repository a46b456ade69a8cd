#pragma once

// Corvalin --report: per program, how often it took the focus, unasked or
// not, and how briefly it held it, from record files of any size, read a
// line at a time.  Needs no display and no running Corvalin.

#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <wx/string.h>

#include "monitor/focus_holds.h"

struct RecordedChange;

// What the rows are: the program a take counts under (the module, or for a
// host's window the host with its launcher), the launcher, the unit, or the
// module alone.
enum class ReportBy
{
    Program,
    Launcher,
    Unit,
    Module,
};

struct ReportOptions
{
    std::vector<wxString> files;
    std::optional<std::int64_t> sinceMs;  // takes from then on
    std::optional<std::int64_t> untilMs;  // takes before then
    std::int64_t briefMs = FocusHolds::kDefaultBriefMs;
    bool csv = false;
    ReportBy by = ReportBy::Program;
    // List this row's takes one by one instead of the table.
    std::optional<std::string> takesOf;
};

// One row of the report.
struct ReportedProgram : ProgramHolds
{
    // Of its latest take that named one, as the launcher.
    std::string cmdline;
};

// One take of the row --takes names, as the record tells it.
struct ReportedTake
{
    std::int64_t whenMs = 0;
    std::optional<std::int64_t> heldMs;  // unknown where the record breaks off
    std::optional<bool> unprompted;
    std::string title;
    // The window it took the focus from: the line before it, where that
    // line is the one just before in the same record.
    std::optional<std::string> fromProgram;
    std::string fromTitle;
    // "take", or an attempt's kind ("urgent", "attention", ...).
    std::string kind = "take";
};

// What follows --report on the command line; false, with the reason in
// problem, when it is not a report's.
bool ParseReportArguments(const std::vector<wxString>& args, ReportOptions& options,
                          wxString& problem);

// Feeds every record line of the files given, in file order, to one hold
// bookkeeping.  Each file is a sequence of its own; within it, a line
// follows the one before when its number is the next and its time no
// earlier.  Lines without "held_ms" (older versions) take the hold from the
// time between two such lines, which is longer than the real hold where
// monitoring was off in between.
class HoldsReport
{
public:
    explicit HoldsReport(const ReportOptions& options);

    // False, with the reason, when the file cannot be opened or read to its
    // end, or is no plain file (a FIFO would wait for a writer forever, a
    // device never end); "-" is standard input.
    bool ReadFile(const wxString& path, wxString& problem);
    bool ReadStream(std::FILE* file, const wxString& name, wxString& problem);
    // One line, without its line break.
    void ReadLine(std::string_view line);
    // Where a new sequence begins (a new file).
    void StartSequence()
    {
        m_previous.reset();
        m_takeOpen = false;
    }

    long long Changes() const { return m_changes; }
    long long Damaged() const { return m_damaged; }
    long long Foreign() const { return m_foreign; }
    long long Attempts() const { return m_attempts; }
    // Whether programs beyond FocusHolds::kMaxPrograms were counted together.
    bool Overflowed() const { return m_holds.Overflowed(); }
    std::vector<ReportedProgram> Programs() const;
    // The takes of the row --takes named, oldest first.
    const std::vector<ReportedTake>& Takes() const { return m_takes; }

private:
    struct Previous
    {
        long long number;
        std::int64_t whenMs;
        WindowHandle window;
        std::string row;
        std::string title;
    };
    void FollowTake(const RecordedChange& change, const std::optional<std::int64_t>& held, bool isTake);

    ReportBy m_by;
    std::int64_t m_fromMs;
    std::int64_t m_untilMs;
    FocusHolds m_holds;
    std::map<std::string, std::string> m_cmdlines;  // by row
    std::optional<Previous> m_previous;
    long long m_changes = 0;
    long long m_damaged = 0;
    long long m_foreign = 0;
    long long m_attempts = 0;
    std::optional<std::string> m_takesOf;
    std::vector<ReportedTake> m_takes;
    // The take of m_takes that still holds the focus, and its window.
    bool m_takeOpen = false;
    std::size_t m_takeIndex = 0;
    WindowHandle m_takeWindow = 0;
    std::int64_t m_takeHeldMs = 0;
};

// The table, one row per program, with a header naming what the rows are;
// and the same as CSV, with the launcher and command line after it.
std::string FormatReportTable(const std::vector<ReportedProgram>& programs,
                              ReportBy by = ReportBy::Program);
std::string FormatReportCsv(const std::vector<ReportedProgram>& programs,
                            ReportBy by = ReportBy::Program);
// One row's takes: time to the millisecond, hold, unprompted or not, title,
// and the window each interrupted.
std::string FormatTakesTable(const std::vector<ReportedTake>& takes);
std::string FormatTakesCsv(const std::vector<ReportedTake>& takes);

// The whole command, for the arguments after the program's name: 0 with a
// table printed, 1 when no line matched, 2 when a file could not be read or
// the arguments are wrong.  With no file given, configuredFile names the
// one the settings record to (empty for none).
int RunReport(const std::vector<wxString>& args, std::FILE* out, std::FILE* err,
              const std::function<wxString()>& configuredFile = {});
