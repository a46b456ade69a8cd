// Reading a record line back: the keys the report needs are taken from the
// line's own object only, the last of a repeated key counts, and whatever
// is not a record line is told apart as damaged or foreign, exactly as a
// fully parsed JSON object would tell it.
#include <cstdint>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "monitor/activity_record.h"
#include "monitor/record_time.h"

namespace
{
constexpr char kTime[] = "2026-12-08T17:00:00.083+01:00";
// 2026-12-08T17:00:00.083+01:00
constexpr std::int64_t kWhen = 1796745600083;

std::string Record(const std::string& middle = std::string())
{
    return std::string("{\"time\":\"") + kTime +
           "\",\"number\":7,\"module\":\"xterm\",\"path\":\"/usr/bin/xterm\",\"pid\":42,"
           "\"class\":\"XTerm\",\"title\":\"vim\",\"handle\":12582924,\"seen\":\"event\"" +
           middle + ",\"held_ms\":250,\"idle_ms\":9,\"unprompted\":true,\"request\":null}";
}

RecordLineKind Read(const std::string& line, RecordedChange& change)
{
    change = RecordedChange();
    return ParseRecordLine(line, change);
}

RecordLineKind KindOf(const std::string& line)
{
    RecordedChange change;
    return Read(line, change);
}

// The same reading over a whole parsed object: what the record lines are
// compared with below.
RecordLineKind ReadWhole(std::string_view line, RecordedChange& change)
{
    const nlohmann::json record = nlohmann::json::parse(line.begin(), line.end(), nullptr, false);
    if (record.is_discarded())
        return RecordLineKind::Damaged;
    if (!record.is_object())
        return RecordLineKind::Foreign;
    const auto time = record.find("time");
    const auto number = record.find("number");
    const auto module = record.find("module");
    const auto handle = record.find("handle");
    if (time == record.end() || !time->is_string() || number == record.end() ||
        !number->is_number_integer() || module == record.end() || !module->is_string() ||
        handle == record.end() || !handle->is_number_unsigned())
        return RecordLineKind::Foreign;
    const std::optional<std::int64_t> when = ParseRecordTime(time->get_ref<const std::string&>());
    if (!when)
        return RecordLineKind::Foreign;
    // Beyond any line count or hold: damaged.
    constexpr unsigned long long kMaxNumber = 1ull << 62, kMaxHeldMs = 100ull * 366 * 24 * 3600 * 1000;
    if (number->is_number_unsigned() ? number->get<unsigned long long>() > kMaxNumber
                                     : number->get<long long>() < -static_cast<long long>(kMaxNumber))
        return RecordLineKind::Damaged;
    change.whenMs = *when;
    change.number = number->get<long long>();
    change.module = module->get<std::string>();
    change.window = static_cast<WindowHandle>(handle->get<unsigned long long>());
    const auto unprompted = record.find("unprompted");
    if (unprompted != record.end() && unprompted->is_boolean())
        change.unprompted = unprompted->get<bool>();
    else if (unprompted != record.end() && !unprompted->is_null())
        return RecordLineKind::Foreign;
    const auto held = record.find("held_ms");
    change.tellsHeld = held != record.end();
    if (change.tellsHeld && held->is_number_unsigned() && held->get<unsigned long long>() > kMaxHeldMs)
        return RecordLineKind::Damaged;
    if (change.tellsHeld && held->is_number_unsigned())
        change.heldMs = held->get<std::int64_t>();
    else if (change.tellsHeld && !held->is_null())
        return RecordLineKind::Foreign;
    for (auto [key, into] : {std::pair{"program", &change.program}, {"launcher", &change.launcher},
                             {"unit", &change.unit}, {"cmdline", &change.cmdline}})
    {
        const auto text = record.find(key);
        if (text != record.end() && text->is_string())
            *into = text->get<std::string>();
    }
    return RecordLineKind::Change;
}

const char* Name(RecordLineKind kind)
{
    switch (kind)
    {
    case RecordLineKind::Change:
        return "change";
    case RecordLineKind::Damaged:
        return "damaged";
    case RecordLineKind::Foreign:
        break;
    }
    return "foreign";
}

// Empty when both readings agree, else what differs.
std::string Disagreement(const std::string& line)
{
    RecordedChange fast, whole;
    const RecordLineKind fastKind = Read(line, fast);
    const RecordLineKind wholeKind = ReadWhole(line, whole);
    if (fastKind != wholeKind)
        return std::string(Name(fastKind)) + " instead of " + Name(wholeKind);
    if (fastKind != RecordLineKind::Change)
        return std::string();
    if (fast.whenMs != whole.whenMs || fast.number != whole.number || fast.window != whole.window ||
        fast.module != whole.module || fast.unprompted != whole.unprompted ||
        fast.tellsHeld != whole.tellsHeld || fast.heldMs != whole.heldMs ||
        fast.program != whole.program || fast.launcher != whole.launcher || fast.unit != whole.unit ||
        fast.cmdline != whole.cmdline)
        return "other values";
    return std::string();
}
}  // namespace

TEST(RecordLineRead, NewestAndOlderLines)
{
    RecordedChange change;
    ASSERT_EQ(RecordLineKind::Change,
              Read(Record(",\"cmdline\":\"xterm -e vim\",\"unit\":\"app-xterm.scope\","
                          "\"parents\":[{\"pid\":9,\"module\":\"updater\",\"program\":\"inner\"}],"
                          "\"launcher\":\"updater\",\"program\":\"xterm (updater)\""),
                   change));
    EXPECT_EQ("xterm (updater)", change.program);
    EXPECT_EQ("updater", change.launcher);
    EXPECT_EQ("app-xterm.scope", change.unit);
    EXPECT_EQ("xterm -e vim", change.cmdline);

    ASSERT_EQ(RecordLineKind::Change, Read(Record(), change));
    EXPECT_EQ(kWhen, change.whenMs);
    EXPECT_EQ(7, change.number);
    EXPECT_EQ("xterm", change.module);
    EXPECT_EQ(12582924u, change.window);
    EXPECT_EQ(std::optional<bool>(true), change.unprompted);
    EXPECT_TRUE(change.tellsHeld);
    EXPECT_EQ(std::optional<std::int64_t>(250), change.heldMs);

    const std::string older = Record().substr(0, Record().find(",\"held_ms\"")) + "}";
    ASSERT_EQ(RecordLineKind::Change, Read(older, change));
    EXPECT_FALSE(change.tellsHeld);
    EXPECT_FALSE(change.heldMs.has_value());
    EXPECT_FALSE(change.unprompted.has_value());
}

TEST(RecordLineRead, TheLastOfARepeatedKeyCounts)
{
    RecordedChange change;
    ASSERT_EQ(RecordLineKind::Change,
              Read(Record(",\"module\":\"intruder\",\"handle\":5,\"number\":-3,\"held_ms\":null"), change));
    EXPECT_EQ("intruder", change.module);
    EXPECT_EQ(5u, change.window);
    EXPECT_EQ(-3, change.number);
    EXPECT_EQ(std::optional<std::int64_t>(250), change.heldMs);
    // A good value given first does not save a bad one after it.
    std::string line = Record();
    line.insert(line.size() - 1, ",\"time\":17");
    EXPECT_EQ(RecordLineKind::Foreign, KindOf(line));
    line = Record();
    line.insert(line.size() - 1, ",\"time\":\"yesterday\"");
    EXPECT_EQ(RecordLineKind::Foreign, KindOf(line));
    // Nor is null after a value taken for the value.
    line = Record();
    line.insert(line.size() - 1, ",\"unprompted\":null,\"held_ms\":null");
    ASSERT_EQ(RecordLineKind::Change, Read(line, change));
    EXPECT_FALSE(change.unprompted.has_value());
    EXPECT_TRUE(change.tellsHeld);
    EXPECT_FALSE(change.heldMs.has_value());
    line = Record();
    line.insert(line.size() - 1, ",\"module\":null");
    EXPECT_EQ(RecordLineKind::Foreign, KindOf(line));
    // A bad value given first is replaced by a good one after it.
    line = Record();
    line.insert(1, "\"time\":null,\"unprompted\":\"yes\",\"handle\":-1,");
    ASSERT_EQ(RecordLineKind::Change, Read(line, change));
    EXPECT_EQ(kWhen, change.whenMs);
    EXPECT_EQ(12582924u, change.window);
}

TEST(RecordLineRead, KeysOfNestedObjectsAreNotTheLines)
{
    RecordedChange change;
    ASSERT_EQ(RecordLineKind::Change,
              Read(Record(",\"extra\":{\"time\":1,\"module\":\"inner\",\"handle\":-1,"
                          "\"deeper\":[{\"held_ms\":\"x\",\"unprompted\":7}]},"
                          "\"list\":[\"time\",\"module\",{\"number\":{}}]"),
                   change));
    EXPECT_EQ("xterm", change.module);
    EXPECT_EQ(kWhen, change.whenMs);
    EXPECT_EQ(7, change.number);
    EXPECT_EQ(std::optional<std::int64_t>(250), change.heldMs);
    // Only nested: no record line.
    EXPECT_EQ(RecordLineKind::Foreign, KindOf("{\"line\":" + Record() + "}"));
    EXPECT_EQ(RecordLineKind::Foreign, KindOf("[" + Record() + "]"));
    // A key of ours holding an object is no value of ours.
    EXPECT_EQ(RecordLineKind::Foreign,
              KindOf("{\"time\":{\"time\":\"" + std::string(kTime) + "\"}" + Record().substr(Record().find(",\"number\""))));
}

TEST(RecordLineRead, ValuesOfTheWrongTypeMakeALineForeign)
{
    const std::pair<const char*, const char*> wrong[] = {
        {"\"number\":7", "\"number\":\"7\""},         {"\"number\":7", "\"number\":7.0"},
        {"\"handle\":12582924", "\"handle\":\"12582924\""}, {"\"handle\":12582924", "\"handle\":-5"},
        {"\"handle\":12582924", "\"handle\":1e3"},     {"\"held_ms\":250", "\"held_ms\":\"250\""},
        {"\"held_ms\":250", "\"held_ms\":-250"},       {"\"held_ms\":250", "\"held_ms\":2.5e2"},
        {"\"unprompted\":true", "\"unprompted\":\"true\""}, {"\"unprompted\":true", "\"unprompted\":1"},
        {"\"module\":\"xterm\"", "\"module\":null"},   {"\"module\":\"xterm\"", "\"module\":[\"xterm\"]"},
        // One past the largest handle: no integer any more.
        {"\"handle\":12582924", "\"handle\":18446744073709551616"},
    };
    for (const auto& [good, bad] : wrong)
    {
        std::string line = Record();
        line.replace(line.find(good), std::string(good).size(), bad);
        EXPECT_EQ(RecordLineKind::Foreign, KindOf(line)) << line;
    }
    // Who is behind a change is no key of the older lines: any value of it
    // leaves the line a change, the text empty.
    RecordedChange change;
    for (const char* odd : {",\"program\":7", ",\"launcher\":[\"x\"]", ",\"unit\":\"u\",\"unit\":{}"})
        EXPECT_TRUE(Read(Record(odd), change) == RecordLineKind::Change && change.program.empty() &&
                    change.launcher.empty() && change.unit.empty())
            << odd;
    std::string line = Record();
    line.replace(line.find("12582924"), 8, "18446744073709551615");
    ASSERT_EQ(RecordLineKind::Change, Read(line, change));
    EXPECT_EQ(static_cast<WindowHandle>(18446744073709551615ull), change.window);
}

TEST(RecordLineRead, EscapedKeysAndTextsAreReadAsTheirCharacters)
{
    std::string line = Record();
    line.replace(line.find("\"module\":\"xterm\""), 16, "\"mod\\u0075le\":\"x\\\"t\\u00e9rm\\/\"");
    line.replace(line.find("\"time\""), 6, "\"\\u0074ime\"");
    RecordedChange change;
    ASSERT_EQ(RecordLineKind::Change, Read(line, change)) << line;
    EXPECT_EQ("x\"t\xC3\xA9rm/", change.module);
    EXPECT_EQ(kWhen, change.whenMs);
    // A key that only looks like one of ours.
    line = Record();
    line.replace(line.find("\"time\""), 6, "\"time \"");
    EXPECT_EQ(RecordLineKind::Foreign, KindOf(line));
}

TEST(RecordLineRead, DamagedAndForeignLines)
{
    for (const std::string& damaged :
         {Record().substr(0, 80), Record() + "}", Record() + " {}", Record() + ",", std::string("{\"a\":1,}"),
          std::string("{'time':1}"), Record().replace(Record().find("vim"), 3, "v\xFFm"),
          Record().replace(Record().find("vim"), 3, "v\tm"), std::string("  "),
          Record().replace(Record().find("\"number\":7") + 9, 1, "07"), Record().replace(Record().find("vim"), 3, "\\ud800")})
        EXPECT_EQ(RecordLineKind::Damaged, KindOf(damaged)) << damaged;
    for (const std::string& foreign : {std::string("[1, 2, 3]"), std::string("\"text\""), std::string("17"),
                                      std::string("null"), std::string("{}"), std::string(" {\"time\":\"x\"} ")})
        EXPECT_EQ(RecordLineKind::Foreign, KindOf(foreign)) << foreign;
}

// Many lines near a record line, cut, spliced and mistyped at random (the
// same every run): both readings must agree on each.
TEST(RecordLineRead, AgreesWithAWholeParseOnDisfiguredLines)
{
    const std::vector<std::string> bases = {
        Record(),
        Record().substr(0, Record().find(",\"held_ms\"")) + "}",
        Record(",\"nested\":{\"time\":\"" + std::string(kTime) + "\",\"handle\":3,\"module\":\"m\"}"),
        "{\"time\":\"2026-12-08T16:00:00Z\",\"number\":18446744073709551615,\"module\":\"\",\"handle\":0,"
        "\"held_ms\":9223372036854775808,\"unprompted\":false}",
    };
    const std::vector<std::string> pieces = {
        "{", "}", "[", "]", "\"", ",", ":", "\\", " ", "-", "0", "7", ".5", "e9", "null", "true", "false",
        "\"time\":", "\"number\":", "\"module\":", "\"handle\":", "\"held_ms\":", "\"unprompted\":",
        "\"number\":\"7\"", "\"handle\":-1", "\"held_ms\":1.5", "{\"module\":\"inner\"}", "\\u0074",
        "\"program\":", "\"launcher\":\"x\"", "\"unit\":", "\"cmdline\":",
        "\\ud83d\\ude00", "\xC3\xA9", "\xFF", "\x01", "\"2026-12-08T17:00:00+01:00\"",
    };
    std::mt19937 random(20261208);
    auto below = [&random](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random); };
    int counts[4] = {0, 0, 0, 0};
    for (int round = 0; round < 60000; ++round)
    {
        std::string line = bases[below(bases.size())];
        const size_t edits = 1 + below(3);
        for (size_t edit = 0; edit < edits; ++edit)
        {
            const size_t at = below(line.size() + 1);
            switch (below(5))
            {
            case 0:  // a piece of JSON, or of no JSON, put in
                line.insert(at, pieces[below(pieces.size())]);
                break;
            case 1:  // some bytes taken out
                line.erase(at, 1 + below(12));
                break;
            case 2:  // a stretch of the line given again
            {
                const size_t from = below(line.size() + 1);
                line.insert(at, line.substr(from, below(60)));
                break;
            }
            case 3:  // one of the keys read, with any value, at the end
            {
                static const char* const keys[] = {"time",       "number",  "module",   "handle",
                                                   "held_ms",    "program", "launcher", "unit",
                                                   "cmdline",    "unprompted"};
                static const char* const values[] = {"null", "true", "false", "0", "-1", "12", "1.5",
                                                     "\"x\"", "\"2026-12-08T17:00:00Z\"", "{}", "[]"};
                if (!line.empty())
                    line.insert(line.size() - 1, std::string(",\"") + keys[below(std::size(keys))] +
                                                     "\":" + values[below(std::size(values))]);
                break;
            }
            default:  // a key and its value given again at the end
            {
                const size_t key = line.find("\":", below(line.size() + 1));
                const size_t start = key == std::string::npos ? 0 : line.rfind(",\"", key);
                if (key != std::string::npos && start != std::string::npos && !line.empty())
                    line.insert(line.size() - 1, line.substr(start, line.find_first_of(",}", key + 2) - start));
                break;
            }
            }
        }
        const std::string disagreement = Disagreement(line);
        ASSERT_EQ("", disagreement) << line;
        RecordedChange change;
        ++counts[static_cast<int>(Read(line, change))];
    }
    // The lines went every way, so the agreement above says something.
    EXPECT_GT(counts[static_cast<int>(RecordLineKind::Change)], 3000);
    EXPECT_GT(counts[static_cast<int>(RecordLineKind::Damaged)], 3000);
    EXPECT_GT(counts[static_cast<int>(RecordLineKind::Foreign)], 3000);
}
