#pragma once

#include <wx/config.h>

// Option reading rules: a missing key or text that is not an integer gives
// the default, which is never written back; any integer but 0 is true.
bool ReadBoolOption(const wxConfigBase& config, const wxString& key, bool defaultValue);
// The low 16 bits of an integer option.
int ReadLow16Option(const wxConfigBase& config, const wxString& key, int defaultValue);
// Bools are stored as 1 or 0.
void WriteBoolOption(wxConfigBase& config, const wxString& key, bool value);
