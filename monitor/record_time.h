#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include <wx/datetime.h>

// The record's time: local time with milliseconds and the offset from UTC
// in force at that moment, "2026-12-08T02:15:03.123+01:00".
std::string FormatRecordTime(const wxDateTime& when);
