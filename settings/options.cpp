#include "settings/options.h"

bool ReadBoolOption(const wxConfigBase& config, const wxString& key, bool defaultValue)
{
    // Read as an integer: the toolkit's own bool reading warns about values
    // other than 0 and 1, and "5" is a valid true here.
    long value = 0;
    if (!config.Read(key, &value))
        return defaultValue;
    return value != 0;
}

int ReadLow16Option(const wxConfigBase& config, const wxString& key, int defaultValue)
{
    long value = 0;
    if (!config.Read(key, &value))
        value = defaultValue;
    return static_cast<int>(static_cast<unsigned long>(value) & 0xFFFFu);
}

long ReadRangeOption(const wxConfigBase& config, const wxString& key, long defaultValue,
                     long min, long max)
{
    long value = 0;
    if (!config.Read(key, &value) || value < min || value > max)
        return defaultValue;
    return value;
}

void WriteBoolOption(wxConfigBase& config, const wxString& key, bool value)
{
    config.Write(key, value ? 1L : 0L);
}
