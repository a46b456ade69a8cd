#pragma once

#include <wx/config.h>

// Option reading rules: a missing key or text that is not an integer gives
// the default, which is never written back; any integer but 0 is true.
bool ReadBoolOption(const wxConfigBase& config, const wxString& key, bool defaultValue);
// The low 16 bits of an integer option.
int ReadLow16Option(const wxConfigBase& config, const wxString& key, int defaultValue);
// An integer option from min to max; anything else, out of range too, gives
// the default: a wild value is more likely a slip than a wish.
long ReadRangeOption(const wxConfigBase& config, const wxString& key, long defaultValue,
                     long min, long max);
// Bools are stored as 1 or 0.
void WriteBoolOption(wxConfigBase& config, const wxString& key, bool value);
// Options written under another section than [Options] (after [Layout],
// say) are not read.  Each such one as "Name under [Section]", a line each;
// empty when there is none.
wxString MisplacedOptions(wxConfigBase& config);
