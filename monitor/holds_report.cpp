#include "monitor/holds_report.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iterator>
#include <limits>
#include <memory>
#include <utility>

#include <wx/cmdline.h>
#include <wx/datetime.h>
#include <wx/msgout.h>
#include <wx/filefn.h>
#include <wx/wxcrt.h>

#include "monitor/activity_line.h"
#include "monitor/record_line_read.h"
#include "monitor/record_time.h"

namespace
{
constexpr char kUsage[] =
    "Usage: Corvalin --report [FILE...] [--since WHEN] [--until WHEN] [--brief MS] [--by WHAT]\n"
    "                         [--takes NAME] [--csv]\n"
    "WHEN: 2026-12-08, 2026-12-08T17:05, 2026-12-08T17:05:03+01:00 or 17:05 (today)\n"
    "WHAT: program (the default), launcher, unit or module; takes without one count under (none)\n"
    "NAME: a row of the table (as --by names rows): its takes one by one\n";

// The row of takes whose line names no launcher, or no unit.
constexpr char kNone[] = "(none)";

constexpr std::pair<ReportBy, const char*> kByNames[] = {
    {ReportBy::Program, "program"},
    {ReportBy::Launcher, "launcher"},
    {ReportBy::Unit, "unit"},
    {ReportBy::Module, "module"},
};

const char* ByName(ReportBy by)
{
    for (const auto& [value, name] : kByNames)
        if (value == by)
            return name;
    return "program";
}

// What a line's take counts under.  Lines of earlier versions have no
// "program": their module is it.
const std::string& RowName(const RecordedChange& change, ReportBy by)
{
    static const std::string none = kNone;
    switch (by)
    {
    case ReportBy::Launcher:
        return change.launcher.empty() ? none : change.launcher;
    case ReportBy::Unit:
        return change.unit.empty() ? none : change.unit;
    case ReportBy::Module:
        return change.module;
    case ReportBy::Program:
        break;
    }
    return change.program.empty() ? change.module : change.program;
}

// Files are read in blocks; a line longer than this is no record line, and
// is skipped rather than held in memory.
constexpr size_t kBlockBytes = 1 << 20;
constexpr size_t kMaxLineBytes = 1 << 20;

std::string Utf8(const wxString& text) { return std::string(text.utf8_str()); }

// A record's text as the report prints it: never an escape sequence, a line
// break or a bidirectional control for the terminal to act on.
std::string Shown(const std::string& text)
{
    for (const unsigned char c : text)
        if (c < 0x20 || c == 0x7F || c >= 0xC2)
            return Utf8(ShownText(wxString::FromUTF8(text)));
    return text;
}

wxDateTime AtMs(std::int64_t ms) { return wxDateTime(wxLongLong(ms)); }

// Characters, not bytes, for the columns.
size_t Width(const std::string& text)
{
    size_t width = 0;
    for (const char c : text)
        width += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return width;
}

void Pad(std::string& out, const std::string& text, size_t width, bool right)
{
    const std::string padding(width > Width(text) ? width - Width(text) : 0, ' ');
    out += right ? padding + text : text + padding;
}

std::string Duration(const std::optional<std::int64_t>& ms)
{
    if (!ms)
        return "-";
    char text[48];
    if (*ms < 10000)
        std::snprintf(text, sizeof text, "%lld ms", static_cast<long long>(*ms));
    else if (*ms < 600000)
        std::snprintf(text, sizeof text, "%.1f s", *ms / 1000.0);
    else
        std::snprintf(text, sizeof text, "%.1f min", *ms / 60000.0);
    return text;
}

// A text cell a spreadsheet would take for a formula (=, +, -, @, or a tab
// or carriage return before one) starts with an apostrophe, which shows
// the text as it is.
std::string CsvField(std::string text)
{
    text = Shown(text);
    if (!text.empty() && std::strchr("=+-@\t\r", text.front()))
        text.insert(0, 1, '\'');
    if (text.find_first_of(",\"\r\n") == std::string::npos)
        return text;
    std::string quoted = "\"";
    for (const char c : text)
        quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + '"';
}
}  // namespace

namespace
{
// What the toolkit's parser says of wrong arguments, kept for the report's
// own stderr.
class ArgumentProblems : public wxMessageOutput
{
public:
    ArgumentProblems() : m_before(wxMessageOutput::Set(this)) {}
    ~ArgumentProblems() override { wxMessageOutput::Set(m_before); }
    wxString Text() const { return wxString(m_text).Trim(); }

protected:
    void Output(const wxString& text) override { m_text += text; }

private:
    wxMessageOutput* m_before;
    wxString m_text;
};

const wxCmdLineEntryDesc kReportArguments[] = {
    {wxCMD_LINE_OPTION, nullptr, "since", "count takes from WHEN on", wxCMD_LINE_VAL_STRING},
    {wxCMD_LINE_OPTION, nullptr, "until", "count takes before WHEN", wxCMD_LINE_VAL_STRING},
    {wxCMD_LINE_OPTION, nullptr, "brief", "holds shorter than MS are brief", wxCMD_LINE_VAL_STRING},
    {wxCMD_LINE_OPTION, nullptr, "by", "rows by program, launcher, unit or module", wxCMD_LINE_VAL_STRING},
    {wxCMD_LINE_OPTION, nullptr, "takes", "one row's takes one by one", wxCMD_LINE_VAL_STRING},
    {wxCMD_LINE_SWITCH, nullptr, "csv", "comma-separated values"},
    {wxCMD_LINE_PARAM, nullptr, nullptr, "FILE", wxCMD_LINE_VAL_STRING,
     wxCMD_LINE_PARAM_OPTIONAL | wxCMD_LINE_PARAM_MULTIPLE},
    {wxCMD_LINE_NONE},
};
}  // namespace

bool ParseReportArguments(const std::vector<wxString>& args, ReportOptions& options,
                          wxString& problem)
{
    options = ReportOptions();
    std::vector<wxString> argv{L"Corvalin"};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<wxChar*> pointers;
    for (wxString& arg : argv)
        pointers.push_back(const_cast<wxChar*>(arg.wc_str()));
    pointers.push_back(nullptr);
    wxCmdLineParser parser(kReportArguments, static_cast<int>(argv.size()), pointers.data());
    // Only "-" starts an option: "/" starts a path.
    parser.SetSwitchChars(L"-");
    {
        ArgumentProblems problems;
        if (parser.Parse(false) != 0)
        {
            problem = problems.Text();
            return false;
        }
    }
    for (const char* name : {"since", "until"})
    {
        wxString value;
        if (!parser.Found(name, &value))
            continue;
        const std::optional<std::int64_t> when = ParseUserTime(Utf8(value), std::strcmp(name, "until") == 0);
        if (!when)
        {
            problem = wxString::Format(L"--%s %s: not a date or time.", name, value);
            return false;
        }
        (std::strcmp(name, "since") == 0 ? options.sinceMs : options.untilMs) = when;
    }
    wxString value;
    if (parser.Found(L"brief", &value))
    {
        long long ms = 0;
        if (!value.ToLongLong(&ms) || ms < 0)
        {
            problem = wxString::Format(L"--brief %s: not a number of milliseconds.", value);
            return false;
        }
        options.briefMs = ms;
    }
    if (parser.Found(L"by", &value))
    {
        const auto named = std::find_if(std::begin(kByNames), std::end(kByNames),
                                        [&value](const auto& by) { return value == by.second; });
        if (named == std::end(kByNames))
        {
            problem = wxString::Format(L"--by %s: not program, launcher, unit or module.", value);
            return false;
        }
        options.by = named->first;
    }
    if (parser.Found(L"takes", &value))
        options.takesOf = Utf8(value);
    options.csv = parser.Found(L"csv");
    for (size_t i = 0; i < parser.GetParamCount(); ++i)
        options.files.push_back(parser.GetParam(i));
    return true;
}

HoldsReport::HoldsReport(const ReportOptions& options)
    : m_by(options.by),
      m_fromMs(options.sinceMs.value_or(std::numeric_limits<std::int64_t>::min())),
      m_untilMs(options.untilMs.value_or(std::numeric_limits<std::int64_t>::max())),
      m_holds(options.briefMs, m_fromMs, m_untilMs),
      m_takesOf(options.takesOf)
{
}

std::vector<ReportedProgram> HoldsReport::Programs() const
{
    std::vector<ReportedProgram> rows;
    for (ProgramHolds& holds : m_holds.Programs())
    {
        const auto cmdline = m_cmdlines.find(holds.module);
        rows.push_back(ReportedProgram{
            std::move(holds), cmdline == m_cmdlines.end() ? std::string() : cmdline->second});
    }
    return rows;
}

void HoldsReport::ReadLine(std::string_view line)
{
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    if (line.find_first_not_of(" \t") == std::string_view::npos)
        return;
    RecordedChange change;
    switch (ParseRecordLine(line, change))
    {
    case RecordLineKind::Damaged:
        ++m_damaged;
        return;
    case RecordLineKind::Foreign:
        ++m_foreign;
        return;
    case RecordLineKind::Attempt:
        // No change: counted for its row, and the sequence of changes goes on.
        if (!change.own)
        {
            ++m_attempts;
            const std::string& row = RowName(change, m_by);
            m_holds.AddAttempt(row, change.whenMs);
            if (m_takesOf && row == *m_takesOf && change.whenMs >= m_fromMs && change.whenMs < m_untilMs)
            {
                ReportedTake attempt;
                attempt.whenMs = change.whenMs;
                attempt.title = std::move(change.title);
                attempt.kind = change.attempt.empty() ? std::string("attempt") : change.attempt;
                m_takes.push_back(std::move(attempt));
            }
        }
        return;
    case RecordLineKind::Change:
        break;
    }
    ++m_changes;
    std::optional<std::int64_t> held;
    if (m_previous && change.number == m_previous->number + 1 && change.whenMs >= m_previous->whenMs)
        held = change.tellsHeld ? change.heldMs : change.whenMs - m_previous->whenMs;
    // Every grouping feeds the same changes, only named otherwise, so that
    // takes and the ends of thefts are told apart alike.
    const FocusChange focus{change.whenMs, change.window, RowName(change, m_by), change.unprompted,
                            change.launcher, change.own};
    m_holds.Add(focus, held);
    const bool counted = m_holds.CurrentIsTake() && change.whenMs >= m_fromMs && change.whenMs < m_untilMs;
    if (m_takesOf)
        FollowTake(change, held, counted && focus.module == *m_takesOf);
    if (!change.cmdline.empty() && counted &&
        (m_cmdlines.size() < FocusHolds::kMaxPrograms || m_cmdlines.count(focus.module)))
        m_cmdlines[focus.module] = std::move(change.cmdline);
    m_previous = Previous{change.number, change.whenMs, change.window,
                          m_takesOf ? focus.module : std::string(),
                          m_takesOf ? std::move(change.title) : std::string()};
}

// A take's hold is known once the next window's line follows it; the same
// window named again goes on holding, as the bookkeeping counts it.
void HoldsReport::FollowTake(const RecordedChange& change, const std::optional<std::int64_t>& held,
                             bool isTake)
{
    if (m_takeOpen)
    {
        if (held && change.window == m_takeWindow)
        {
            m_takeHeldMs += *held;
            return;
        }
        // Unknown where the record breaks off before the next window.
        if (held)
            m_takes[m_takeIndex].heldMs = m_takeHeldMs + *held;
        m_takeOpen = false;
    }
    if (!isTake)
        return;
    ReportedTake take;
    take.whenMs = change.whenMs;
    take.unprompted = change.unprompted;
    take.title = change.title;
    if (held && m_previous)
    {
        take.fromProgram = m_previous->row;
        take.fromTitle = m_previous->title;
    }
    m_takeIndex = m_takes.size();
    m_takes.push_back(std::move(take));
    m_takeOpen = true;
    m_takeWindow = change.window;
    m_takeHeldMs = 0;
}

bool HoldsReport::ReadFile(const wxString& path, wxString& problem)
{
    if (path == L"-")
        return ReadStream(stdin, L"standard input", problem);
    wxStructStat status;
    if (wxStat(path, &status) == 0 && !S_ISREG(status.st_mode) && !S_ISDIR(status.st_mode))
    {
        problem = wxString::Format(L"%s: not a plain file", path);
        return false;
    }
    std::unique_ptr<FILE, int (*)(FILE*)> file(wxFopen(path, L"rb"), &std::fclose);
    if (!file)
    {
        problem = wxString::Format(L"%s: %s", path, wxString(std::strerror(errno)));
        return false;
    }
    return ReadStream(file.get(), path, problem);
}

bool HoldsReport::ReadStream(std::FILE* file, const wxString& path, wxString& problem)
{
    StartSequence();
    std::unique_ptr<char[]> block(new char[kBlockBytes]);
    std::string begun;       // a line begun in an earlier block
    bool overlong = false;   // skipping the rest of a line too long to be ours
    size_t got = 0;
    while ((got = std::fread(block.get(), 1, kBlockBytes, file)) > 0)
    {
        const char* at = block.get();
        const char* const end = at + got;
        while (at < end)
        {
            const char* const lineEnd = static_cast<const char*>(std::memchr(at, '\n', end - at));
            if (!lineEnd)
            {
                if (!overlong)
                    begun.append(at, end);
                if (!overlong && begun.size() > kMaxLineBytes)
                {
                    overlong = true;
                    begun.clear();
                    ++m_damaged;
                }
                break;
            }
            if (overlong)
                overlong = false;
            else if (begun.empty())
                ReadLine(std::string_view(at, lineEnd - at));
            else
            {
                begun.append(at, lineEnd);
                ReadLine(begun);
                begun.clear();
            }
            at = lineEnd + 1;
        }
    }
    if (std::ferror(file))
    {
        problem = wxString::Format(L"%s: %s", path, wxString(std::strerror(errno)));
        return false;
    }
    // A last line without its line break: cut short, or written by hand.
    if (!overlong && !begun.empty())
        ReadLine(begun);
    return true;
}

namespace
{
// Columns padded to their widest cell; names and times read from the left,
// counts from the right; the last column is not padded.
std::string Columns(const std::vector<std::vector<std::string>>& rows,
                    const std::vector<bool>& leftAligned)
{
    std::vector<size_t> widths(leftAligned.size(), 0);
    for (const auto& row : rows)
        for (size_t column = 0; column < row.size(); ++column)
            widths[column] = std::max(widths[column], Width(row[column]));
    std::string out;
    for (const auto& row : rows)
    {
        for (size_t column = 0; column < row.size(); ++column)
        {
            if (column > 0)
                out += "  ";
            if (column + 1 == row.size())
                out += row[column];
            else
                Pad(out, row[column], widths[column], !leftAligned[column]);
        }
        out += '\n';
    }
    return out;
}

std::string Optional(const std::optional<std::int64_t>& value)
{
    return value ? std::to_string(*value) : std::string();
}

std::string YesNo(const std::optional<bool>& value)
{
    return !value ? "?" : *value ? "yes" : "no";
}
}  // namespace

std::string FormatReportTable(const std::vector<ReportedProgram>& programs, ReportBy by)
{
    std::vector<std::vector<std::string>> rows{
        {ByName(by), "takes", "unprompted", "brief", "attempts", "shortest", "median", "longest", "total", "last"}};
    for (const ReportedProgram& program : programs)
        rows.push_back({Shown(program.module), std::to_string(program.takes),
                        std::to_string(program.unprompted), std::to_string(program.brief),
                        std::to_string(program.attempts),
                        Duration(program.shortestMs), Duration(program.medianMs),
                        Duration(program.longestMs),
                        Duration(program.shortestMs ? std::optional(program.totalMs) : std::nullopt),
                        program.takes ? Utf8(AtMs(program.lastTakeMs).Format(L"%Y-%m-%d %H:%M:%S")) : "-"});
    return Columns(rows, {true, false, false, false, false, false, false, false, false, true});
}

std::string FormatTakesTable(const std::vector<ReportedTake>& takes)
{
    std::vector<std::vector<std::string>> rows{
        {"time", "kind", "held", "unprompted", "title", "interrupted"}};
    for (const ReportedTake& take : takes)
        rows.push_back({Utf8(AtMs(take.whenMs).Format(L"%Y-%m-%d %H:%M:%S.%l")), take.kind,
                        Duration(take.heldMs), take.kind == "take" ? YesNo(take.unprompted) : "-", Shown(take.title),
                        take.fromProgram ? Shown(*take.fromProgram + " \u2014 " + take.fromTitle) : "-"});
    return Columns(rows, {true, true, false, true, true, true});
}

std::string FormatTakesCsv(const std::vector<ReportedTake>& takes)
{
    std::string out = "time,held_ms,unprompted,title,interrupted_program,interrupted_title,kind\n";
    for (const ReportedTake& take : takes)
        out += FormatRecordTime(AtMs(take.whenMs)) + ',' + Optional(take.heldMs) + ',' +
               (take.unprompted ? (*take.unprompted ? "true" : "false") : "") + ',' +
               CsvField(take.title) + ',' + CsvField(take.fromProgram.value_or(std::string())) + ',' +
               CsvField(take.fromTitle) + ',' + take.kind + '\n';
    return out;
}

std::string FormatReportCsv(const std::vector<ReportedProgram>& programs, ReportBy by)
{
    std::string out =
        std::string(ByName(by)) +
        ",takes,unprompted,brief,shortest_ms,last,launcher,cmdline,median_ms,longest_ms,total_ms,attempts\n";
    for (const ReportedProgram& program : programs)
    {
        out += CsvField(program.module) + ',' + std::to_string(program.takes) + ',' +
               std::to_string(program.unprompted) + ',' + std::to_string(program.brief) + ',' +
               (program.shortestMs ? std::to_string(*program.shortestMs) : std::string()) + ',' +
               (program.takes ? FormatRecordTime(AtMs(program.lastTakeMs)) : std::string()) + ',' +
               CsvField(program.launcher) + ',' +
               CsvField(program.cmdline) + ',' + Optional(program.medianMs) + ',' +
               Optional(program.longestMs) + ',' +
               (program.shortestMs ? std::to_string(program.totalMs) : std::string()) + ',' +
               std::to_string(program.attempts) + '\n';
    }
    return out;
}

int RunReport(const std::vector<wxString>& args, std::FILE* out, std::FILE* err,
              const std::function<wxString()>& configuredFile)
{
    ReportOptions options;
    wxString problem;
    if (!ParseReportArguments(args, options, problem))
    {
        std::fprintf(err, "Corvalin: %s\n%s", Utf8(problem).c_str(), kUsage);
        return 2;
    }
    // No file given: the one the settings record to, and which one it is.
    if (options.files.empty())
    {
        const wxString configured = configuredFile ? configuredFile() : wxString();
        if (configured.empty())
        {
            std::fprintf(err, "Corvalin: no record file given, and RecordFile is not set in the "
                              "settings.\n%s", kUsage);
            return 2;
        }
        std::fprintf(err, "Corvalin: reading %s (RecordFile in the settings)\n", Utf8(configured).c_str());
        options.files.push_back(configured);
    }
    HoldsReport report(options);
    bool unreadable = false;
    for (const wxString& path : options.files)
    {
        if (!report.ReadFile(path, problem))
        {
            std::fprintf(err, "Corvalin: cannot read %s\n", Utf8(problem).c_str());
            unreadable = true;
        }
    }
    if (report.Overflowed())
        std::fprintf(err, "Corvalin: more than %zu programs; the rest are counted together as %s\n",
                     FocusHolds::kMaxPrograms, FocusHolds::kOtherPrograms);
    if (report.Damaged() + report.Foreign() > 0)
        std::fprintf(err, "Corvalin: skipped %lld lines that are no record lines (%lld damaged, %lld foreign)\n",
                     report.Damaged() + report.Foreign(), report.Damaged(), report.Foreign());
    if (options.takesOf)
    {
        if (report.Takes().empty())
        {
            std::fprintf(err, "Corvalin: no take by %s\n", Shown(*options.takesOf).c_str());
            return unreadable ? 2 : 1;
        }
        const std::string text =
            options.csv ? FormatTakesCsv(report.Takes()) : FormatTakesTable(report.Takes());
        std::fwrite(text.data(), 1, text.size(), out);
        std::fflush(out);
        return unreadable ? 2 : 0;
    }
    const std::vector<ReportedProgram> programs = report.Programs();
    if (programs.empty())
    {
        std::fprintf(err, "Corvalin: no record line matched\n");
        return unreadable ? 2 : 1;
    }
    const std::string text = options.csv ? FormatReportCsv(programs, options.by)
                                         : FormatReportTable(programs, options.by);
    std::fwrite(text.data(), 1, text.size(), out);
    std::fflush(out);
    return unreadable ? 2 : 0;
}
