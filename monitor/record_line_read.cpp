#include "monitor/record_line_read.h"

#include <cstdint>
#include <string>

#include <nlohmann/json.hpp>

#include "monitor/record_time.h"

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
        kSeen,
        kAttempt,
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
            return name == "time" ? kTime : name == "unit" ? kUnit : name == "seen" ? kSeen : kOther;
        case 6:
            return name == "number" ? kNumber
                   : name == "module" ? kModule
                   : name == "handle" ? kHandle
                                      : kOther;
        case 7:
            return name == "held_ms"   ? kHeld
                   : name == "program" ? kProgram
                   : name == "cmdline" ? kCmdline
                   : name == "attempt" ? kAttempt
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
    // A try at the focus refused has no number: no change, but a line.
    const bool attempt = number.kind == Kind::Null && fields[RecordLineFields::kSeen].kind == Kind::String &&
                         fields.Text(RecordLineFields::kSeen) == "attempt";
    if (fields[RecordLineFields::kTime].kind != Kind::String ||
        (number.kind != Kind::Negative && number.kind != Kind::Unsigned && !attempt) ||
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
    change.number = attempt                        ? 0
                    : number.kind == Kind::Negative ? static_cast<long long>(number.negative)
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
    text(RecordLineFields::kAttempt, change.attempt);
    const RecordLineFields::Value& own = fields[RecordLineFields::kOwn];
    change.own = own.kind == Kind::Boolean && own.boolean;
    return attempt ? RecordLineKind::Attempt : RecordLineKind::Change;
}
