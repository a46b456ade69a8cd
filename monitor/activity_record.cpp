#include "monitor/activity_record.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include <nlohmann/json.hpp>

#include <wx/filename.h>
#include <wx/intl.h>
#include <wx/utils.h>

#include "monitor/record_time.h"
#include "platform/folder_path.h"

namespace
{
bool IsHighSurrogate(wxUint32 c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(wxUint32 c) { return c >= 0xDC00 && c <= 0xDFFF; }

void AppendUtf8(std::string& out, wxUint32 c)
{
    if (c < 0x80)
    {
        out += static_cast<char>(c);
    }
    else if (c < 0x800)
    {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    else if (c < 0x10000)
    {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
    else
    {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

}  // namespace

// The toolkit's own conversion gives up on the whole text at the first
// value that is not Unicode; here each such value (a lone surrogate) becomes
// U+FFFD and the rest stays.
std::string ToValidUtf8(const wxString& text)
{
    std::string out;
    out.reserve(text.length());
    const wchar_t* chars = text.wc_str();
    const size_t length = text.length();
    for (size_t i = 0; i < length; ++i)
    {
        wxUint32 c = static_cast<wxUint32>(chars[i]);
        // UTF-16 pairs (the only form on Windows) make one character.
        if (IsHighSurrogate(c) && i + 1 < length &&
            IsLowSurrogate(static_cast<wxUint32>(chars[i + 1])))
        {
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<wxUint32>(chars[i + 1]) - 0xDC00);
            ++i;
        }
        else if (IsHighSurrogate(c) || IsLowSurrogate(c) || c > 0x10FFFF)
        {
            c = 0xFFFD;
        }
        AppendUtf8(out, c);
    }
    return out;
}

namespace
{
// Titles come from other programs and may hold anything.  Besides what JSON
// demands, DEL, the C1 controls and the two Unicode line separators are
// escaped too, so that no reader's line splitting or terminal is ever
// surprised.  They can only stand inside strings, so their bytes are
// replaced wherever they are.
std::string EscapeLineBreakers(const std::string& json)
{
    std::string out;
    out.reserve(json.size());
    char escaped[8];
    for (size_t i = 0; i < json.size(); ++i)
    {
        const unsigned char c = static_cast<unsigned char>(json[i]);
        const unsigned char next = i + 1 < json.size() ? static_cast<unsigned char>(json[i + 1]) : 0;
        const unsigned char third = i + 2 < json.size() ? static_cast<unsigned char>(json[i + 2]) : 0;
        unsigned code = 0;
        if (c == 0x7F)
        {
            code = c;
        }
        else if (c == 0xC2 && next >= 0x80 && next <= 0x9F)
        {
            code = next;
            i += 1;
        }
        else if (c == 0xE2 && next == 0x80 && (third == 0xA8 || third == 0xA9))
        {
            code = third == 0xA8 ? 0x2028 : 0x2029;
            i += 2;
        }
        if (code == 0)
        {
            out += json[i];
            continue;
        }
        std::snprintf(escaped, sizeof escaped, "\\u%04x", code);
        out += escaped;
    }
    return out;
}

const char* SeenName(Seen seen)
{
    switch (seen)
    {
    case Seen::Attempt:
        return "attempt";
    case Seen::Event:
        return "event";
    case Seen::HotKey:
        return "hotkey";
    case Seen::Tick:
        break;
    }
    return "tick";
}

nlohmann::ordered_json RequestName(ActivationRequest request)
{
    switch (request)
    {
    case ActivationRequest::Application:
        return "application";
    case ActivationRequest::Pager:
        return "pager";
    case ActivationRequest::Unknown:
        break;
    }
    return nullptr;
}

template <typename T>
nlohmann::ordered_json OrNull(const std::optional<T>& value)
{
    return value ? nlohmann::ordered_json(*value) : nlohmann::ordered_json(nullptr);
}

nlohmann::ordered_json TimeOrNull(const std::optional<std::int64_t>& ms)
{
    if (!ms)
        return nullptr;
    return FormatRecordTime(wxDateTime(wxLongLong(*ms)));
}

nlohmann::ordered_json TextOrNull(const wxString& text)
{
    return text.empty() ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(ToValidUtf8(text));
}

nlohmann::ordered_json LinkJson(unsigned long pid, const std::optional<std::int64_t>& startedMs,
                                const wxString& module, const wxString& path)
{
    nlohmann::ordered_json link;
    link["pid"] = pid;
    link["module"] = TextOrNull(module);
    link["path"] = TextOrNull(path);
    link["started"] = TimeOrNull(startedMs);
    return link;
}

const char* ChainEndName(ChainEnd end)
{
    switch (end)
    {
    case ChainEnd::Root:
        return "root";
    case ChainEnd::Limit:
        return "limit";
    case ChainEnd::Reused:
        return "reused";
    case ChainEnd::Gone:
        return "gone";
    case ChainEnd::Unreadable:
        break;
    }
    return "unreadable";
}

// Who is behind the change, after the keys every earlier version wrote.
void AddCulprit(nlohmann::ordered_json& line, const ActivityEntry& entry,
                const RecordDetails& details)
{
    const ProcessFacts* facts = entry.facts.get();
    const ProcessInfo* process = facts ? &facts->process : nullptr;
    line["started"] = process ? TimeOrNull(process->startedMs) : nullptr;
    line["cmdline"] = facts && facts->commandLine && details.commandLines
                          ? nlohmann::ordered_json(ToValidUtf8(*facts->commandLine))
                          : nlohmann::ordered_json(nullptr);
    line["user"] = process ? TextOrNull(process->user) : nullptr;
    line["user_id"] = process ? TextOrNull(process->userId) : nullptr;
    nlohmann::ordered_json parents = nlohmann::ordered_json::array();
    if (facts)
    {
        for (const ProcessLink& link : facts->parents)
            parents.push_back(LinkJson(link.pid, link.startedMs, link.module, link.path));
    }
    line["parents"] = facts ? parents : nlohmann::ordered_json(nullptr);
    line["parents_end"] = facts ? nlohmann::ordered_json(ChainEndName(facts->end)) : nullptr;
    line["unit"] = process ? TextOrNull(process->unit) : nullptr;
    line["elevated"] = process ? OrNull(process->elevated) : nullptr;
    line["new_window"] = OrNull(entry.newWindow);
    if (process && !entry.clientHow.empty())
    {
        nlohmann::ordered_json client =
            LinkJson(process->pid, process->startedMs, process->module, process->path);
        client["found"] = ToValidUtf8(entry.clientHow);
        line["client"] = client;
    }
    else
    {
        line["client"] = nullptr;
    }
    if (entry.recentLooked)
    {
        nlohmann::ordered_json recent = nlohmann::ordered_json::array();
        for (const auto& other : entry.recent)
            recent.push_back(LinkJson(other->process.pid, other->process.startedMs,
                                      other->process.module, other->process.path));
        line["recent"] = recent;
    }
    else
    {
        line["recent"] = nullptr;
    }
    const char* cause = TakeCauseName(entry.cause);
    line["cause"] = cause ? nlohmann::ordered_json(cause) : nlohmann::ordered_json(nullptr);
    line["launcher"] = TextOrNull(entry.launcher);
    line["program"] = TextOrNull(entry.program.empty() ? entry.module : entry.program);
    line["own"] = entry.own;
    if (entry.attempt)
    {
        line["attempt"] = AttemptKindName(*entry.attempt);
        line["focused"] = entry.focused;
    }
    else
    {
        line["attempt"] = nullptr;
        line["focused"] = nullptr;
    }
}

nlohmann::ordered_json RecordJson(const ActivityEntry& entry, const RecordDetails& details)
{
    // Keys go out in the order they are set: the first nine as every
    // earlier version wrote them, newer ones after.
    nlohmann::ordered_json line;
    line["time"] = entry.when.IsValid() ? nlohmann::ordered_json(FormatRecordTime(entry.when))
                                        : nlohmann::ordered_json(nullptr);
    // An attempt is no change: it has no number, and readers that count
    // changes pass it over.
    line["number"] = entry.attempt ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(entry.number);
    line["module"] = ToValidUtf8(entry.module);
    line["path"] = ToValidUtf8(details.path);
    line["pid"] = details.pid;
    line["class"] = ToValidUtf8(details.windowClass);
    line["title"] = ToValidUtf8(entry.title);
    line["handle"] = static_cast<unsigned long long>(entry.window);
    line["seen"] = SeenName(entry.seen);
    line["held_ms"] = OrNull(entry.previousHeldMs);
    line["idle_ms"] = OrNull(entry.input.idleMs);
    line["unprompted"] = OrNull(entry.unprompted);
    line["request"] = RequestName(entry.input.request);
    AddCulprit(line, entry, details);
    return line;
}

std::string RecordLineUtf8(const ActivityEntry& entry, const RecordDetails& details)
{
    // The text is valid UTF-8 by now; should anything slip through, it is
    // replaced rather than thrown over.
    return EscapeLineBreakers(RecordJson(entry, details)
                                  .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)) +
           '\n';
}
}  // namespace

const char* AttemptKindName(AttemptKind kind)
{
    switch (kind)
    {
    case AttemptKind::Urgent:
        return "urgent";
    case AttemptKind::Attention:
        return "attention";
    case AttemptKind::RefusedRequest:
        return "refused-request";
    case AttemptKind::Flash:
        break;
    }
    return "flash";
}

wxString FormatRecordLine(const ActivityEntry& entry, const RecordDetails& details)
{
    const std::string line = RecordLineUtf8(entry, details);
    return wxString::FromUTF8(line.data(), line.size());
}

std::vector<std::pair<std::string, std::string>> RecordFields(const ActivityEntry& entry,
                                                               const RecordDetails& details)
{
    std::vector<std::pair<std::string, std::string>> fields;
    const nlohmann::ordered_json line = RecordJson(entry, details);
    for (const auto& [key, value] : line.items())
    {
        // The chain as one readable text: "812:updater < 1:systemd".
        if (key == "parents" && value.is_array())
        {
            std::string chain;
            for (const auto& link : value)
            {
                if (!chain.empty())
                    chain += " < ";
                chain += std::to_string(link["pid"].get<unsigned long>()) + ':' +
                         (link["module"].is_string() ? link["module"].get<std::string>() : "?");
            }
            fields.emplace_back(key, chain);
        }
        else if (value.is_string())
            fields.emplace_back(key, value.get<std::string>());
        else if (value.is_null())
            fields.emplace_back(key, std::string());
        else
            fields.emplace_back(key, value.dump());
    }
    return fields;
}


wxString ResolveRecordPath(const wxString& value, const wxString& settingsDirectory)
{
    if (value.empty())
        return wxString();
    if (value == L"~")
        return wxGetHomeDir();
    if (value.length() > 1 && value[0] == L'~' && wxFileName::IsPathSeparator(value[1]))
        return WithSeparator(wxGetHomeDir()) + value.Mid(2);
    if (wxFileName(value).IsAbsolute())
        return value;
    return WithSeparator(settingsDirectory) + value;
}

bool ActivityRecord::Open(const wxString& path)
{
    Close();
    m_path = path;
    m_problem.clear();
    m_problemTaken = false;
    if (path.empty())
    {
        Fail(_("No record file is named."));
        return false;
    }
    wxString reason;
    if (m_file.Open(path, reason))
        return true;
    Fail(wxString::Format(_("The record file \"%s\" cannot be used: %s."), path, reason));
    return false;
}

void ActivityRecord::Close()
{
    m_file.Close();
}

bool ActivityRecord::Append(const ActivityEntry& entry, const RecordDetails& details)
{
    if (!m_file.IsOpen())
        return false;
    wxString reason;
    // Lines written into a file that no name leads to any more would be lost.
    if (!m_file.IsStillAt(m_path) && !m_file.Open(m_path, reason))
    {
        Fail(wxString::Format(_("The record file \"%s\" was removed or replaced and cannot be "
                                "used again: %s."),
                              m_path, reason));
        return false;
    }
    const std::string line = RecordLineUtf8(entry, details);
    if (m_file.Append(line.data(), line.size(), reason))
        return true;
    Fail(wxString::Format(_("The record file \"%s\" cannot be written: %s."), m_path, reason));
    return false;
}

wxString ActivityRecord::TakeNewProblem()
{
    if (m_problemTaken)
        return wxString();
    m_problemTaken = true;
    return m_problem;
}

void ActivityRecord::Fail(const wxString& problem)
{
    Close();
    m_problem = problem;
    m_problemTaken = false;
}
