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
}

nlohmann::ordered_json RecordJson(const ActivityEntry& entry, const RecordDetails& details)
{
    // Keys go out in the order they are set: the first nine as every
    // earlier version wrote them, newer ones after.
    nlohmann::ordered_json line;
    line["time"] = entry.when.IsValid() ? nlohmann::ordered_json(FormatRecordTime(entry.when))
                                        : nlohmann::ordered_json(nullptr);
    line["number"] = entry.number;
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

wxString FormatRecordLine(const ActivityEntry& entry, const RecordDetails& details)
{
    const std::string line = RecordLineUtf8(entry, details);
    return wxString::FromUTF8(line.data(), line.size());
}

namespace
{
// Of a record line's top-level object, only the values the report reads.
// The whole line is still checked as JSON, but no tree is built: most of a
// line (title, path, class) is passed over.  A key given twice counts with
// its last value, as in a parsed object; keys of nested objects are not the
// line's own.
class RecordLineFields
{
public:
    enum class Kind
    {
        Absent,
        Null,
        Boolean,
        Negative,  // an integer below zero
        Unsigned,  // an integer from zero up
        Float,
        String,
        Nested,    // an object or an array
    };
    enum Key
    {
        kTime,
        kNumber,
        kModule,
        kHandle,
        kUnprompted,
        kHeld,
        kOwn,
        // Texts that may be missing or of any type: they never make a line
        // foreign, so that old lines and odd writers still count.
        kProgram,
        kLauncher,
        kUnit,
        kCmdline,
        kTitle,
        kKeys,
        kOther = kKeys,
    };
    struct Value
    {
        Kind kind = Kind::Absent;
        bool boolean = false;
        std::int64_t negative = 0;
        std::uint64_t unsignedValue = 0;
    };

    using Json = nlohmann::json;

    bool null() { return Set(Kind::Null), true; }
    bool boolean(bool value)
    {
        if (Set(Kind::Boolean))
            m_values[m_key].boolean = value;
        return true;
    }
    bool number_integer(Json::number_integer_t value)
    {
        if (Set(Kind::Negative))
            m_values[m_key].negative = value;
        return true;
    }
    bool number_unsigned(Json::number_unsigned_t value)
    {
        if (Set(Kind::Unsigned))
            m_values[m_key].unsignedValue = value;
        return true;
    }
    bool number_float(Json::number_float_t, const Json::string_t&) { return Set(Kind::Float), true; }
    bool string(Json::string_t& value)
    {
        if (!Set(Kind::String))
            return true;
        // Read at once rather than copied: a later "time" replaces it anyway.
        if (m_key == kTime)
            m_when = ParseRecordTime(value);
        else if (m_key == kModule || m_key >= kProgram)
            m_texts[m_key].assign(value);
        return true;
    }
    bool binary(Json::binary_t&) { return Set(Kind::Nested), true; }
    bool start_object(std::size_t)
    {
        if (m_depth == 0)
            m_object = true;
        Set(Kind::Nested);
        ++m_depth;
        return true;
    }
    bool start_array(std::size_t)
    {
        Set(Kind::Nested);
        ++m_depth;
        return true;
    }
    bool end_object() { return --m_depth, true; }
    bool end_array() { return --m_depth, true; }
    bool key(Json::string_t& name)
    {
        if (m_depth == 1)
            m_key = KeyOf(name);
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&)
    {
        return false;
    }

    bool IsObject() const { return m_object; }
    const Value& operator[](Key key) const { return m_values[key]; }
    // The time's value, when it is a string; unset when that is no record time.
    const std::optional<std::int64_t>& When() const { return m_when; }
    // The text under a key, when its last value is a string.
    std::string& Text(Key key) { return m_texts[key]; }

private:
    // Every key of every line comes here: lengths first, which tell most
    // apart, before any characters are compared.
    static Key KeyOf(std::string_view name)
    {
        switch (name.size())
        {
        case 3:
            return name == "own" ? kOwn : kOther;
        case 5:
            return name == "title" ? kTitle : kOther;
        case 4:
            return name == "time" ? kTime : name == "unit" ? kUnit : kOther;
        case 6:
            return name == "number" ? kNumber
                   : name == "module" ? kModule
                   : name == "handle" ? kHandle
                                      : kOther;
        case 7:
            return name == "held_ms"   ? kHeld
                   : name == "program" ? kProgram
                   : name == "cmdline" ? kCmdline
                                       : kOther;
        case 8:
            return name == "launcher" ? kLauncher : kOther;
        case 10:
            return name == "unprompted" ? kUnprompted : kOther;
        }
        return kOther;
    }

    // A value of the top-level object under one of the keys read: true when
    // it is kept.
    bool Set(Kind kind)
    {
        if (m_depth != 1 || m_key == kOther)
            return false;
        m_values[m_key] = Value{};
        m_values[m_key].kind = kind;
        return true;
    }

    int m_depth = 0;
    bool m_object = false;
    Key m_key = kOther;
    Value m_values[kKeys];
    std::optional<std::int64_t> m_when;
    std::string m_texts[kKeys];
};
}  // namespace
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

RecordLineKind ParseRecordLine(std::string_view line, RecordedChange& change)
{
    using Kind = RecordLineFields::Kind;
    RecordLineFields fields;
    if (!nlohmann::json::sax_parse(line.begin(), line.end(), &fields))
        return RecordLineKind::Damaged;
    if (!fields.IsObject())
        return RecordLineKind::Foreign;
    const RecordLineFields::Value& number = fields[RecordLineFields::kNumber];
    const RecordLineFields::Value& handle = fields[RecordLineFields::kHandle];
    if (fields[RecordLineFields::kTime].kind != Kind::String ||
        (number.kind != Kind::Negative && number.kind != Kind::Unsigned) ||
        fields[RecordLineFields::kModule].kind != Kind::String || handle.kind != Kind::Unsigned)
        return RecordLineKind::Foreign;
    const std::optional<std::int64_t>& when = fields.When();
    if (!when)
        return RecordLineKind::Foreign;
    // Beyond what a line count or a hold can be: a damaged line, never a sum
    // that overflows.
    constexpr std::uint64_t kMaxNumber = std::uint64_t(1) << 62;
    constexpr std::uint64_t kMaxHeldMs = 100ull * 366 * 24 * 3600 * 1000;
    if ((number.kind == Kind::Unsigned && number.unsignedValue > kMaxNumber) ||
        (number.kind == Kind::Negative && number.negative < -static_cast<std::int64_t>(kMaxNumber)))
        return RecordLineKind::Damaged;
    change.whenMs = *when;
    change.number = number.kind == Kind::Negative ? static_cast<long long>(number.negative)
                                                  : static_cast<long long>(number.unsignedValue);
    change.module = std::move(fields.Text(RecordLineFields::kModule));
    change.window = static_cast<WindowHandle>(handle.unsignedValue);
    change.unprompted.reset();
    const RecordLineFields::Value& unprompted = fields[RecordLineFields::kUnprompted];
    if (unprompted.kind == Kind::Boolean)
        change.unprompted = unprompted.boolean;
    else if (unprompted.kind != Kind::Absent && unprompted.kind != Kind::Null)
        return RecordLineKind::Foreign;
    change.heldMs.reset();
    const RecordLineFields::Value& held = fields[RecordLineFields::kHeld];
    change.tellsHeld = held.kind != Kind::Absent;
    if (held.kind == Kind::Unsigned && held.unsignedValue > kMaxHeldMs)
        return RecordLineKind::Damaged;
    if (held.kind == Kind::Unsigned)
        change.heldMs = static_cast<std::int64_t>(held.unsignedValue);
    else if (change.tellsHeld && held.kind != Kind::Null)
        return RecordLineKind::Foreign;
    const auto text = [&fields](RecordLineFields::Key key, std::string& into) {
        if (fields[key].kind == Kind::String)
            into = std::move(fields.Text(key));
        else
            into.clear();
    };
    text(RecordLineFields::kProgram, change.program);
    text(RecordLineFields::kLauncher, change.launcher);
    text(RecordLineFields::kUnit, change.unit);
    text(RecordLineFields::kCmdline, change.cmdline);
    text(RecordLineFields::kTitle, change.title);
    const RecordLineFields::Value& own = fields[RecordLineFields::kOwn];
    change.own = own.kind == Kind::Boolean && own.boolean;
    return RecordLineKind::Change;
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
