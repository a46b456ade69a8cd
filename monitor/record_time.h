#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <wx/datetime.h>

// The record's time: local time with milliseconds and the offset from UTC
// in force at that moment, "2026-12-08T02:15:03.123+01:00".
std::string FormatRecordTime(const wxDateTime& when);

// Milliseconds since 1970-01-01 UTC of a record's time: ISO 8601 with its
// offset (or Z), seconds and fraction optional.  Unset for anything else.
std::optional<std::int64_t> ParseRecordTime(std::string_view text);

// A moment given by the user: an ISO 8601 date and time, with or without
// an offset (without: local time), a date alone (local midnight; with
// endOfDay the midnight after it), "HH:MM" (today, local), "today" or
// "yesterday" (as a date), or a span back from now ("-90s", "-30m", "-1h",
// "-2d").  Unset when the text is none of these.
std::optional<std::int64_t> ParseUserTime(std::string_view text, bool endOfDay = false);
