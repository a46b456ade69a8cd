#include "settings/options.h"

#include <initializer_list>
#include <vector>

#include "settings/stored_names.h"

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

namespace
{
void FindMisplaced(wxConfigBase& config, const wxString& group, wxString& found)
{
    static const std::initializer_list<const wchar_t*> kOptions = {
        kOptionMonitorWindows, kOptionAlwaysOnTop, kOptionMinimizeOnRun, kOptionMinimizeOnClose,
        kOptionHotKey, kOptionHotKeyModifiers, kOptionShowIconInSystray, kOptionRecordFile,
        kOptionPromptedWithinMs, kOptionNotifyUnprompted, kOptionSystemLog, kOptionExcludeModules,
        kOptionExcludeTitles, kOptionStoreTitles, kOptionStoreCommandLines};
    config.SetPath(group.empty() ? wxString(L"/") : group);
    wxString name;
    long index = 0;
    for (bool more = config.GetFirstEntry(name, index); more; more = config.GetNextEntry(name, index))
    {
        for (const wchar_t* option : kOptions)
        {
            if (group != L"/Options" && wxString(option).AfterLast(L'/') == name)
                found += name + L" under [" + (group.empty() ? wxString() : group.Mid(1)) + L"]\n";
        }
    }
    std::vector<wxString> groups;
    for (bool more = config.GetFirstGroup(name, index); more; more = config.GetNextGroup(name, index))
        groups.push_back(group + L"/" + name);
    for (const wxString& child : groups)
        FindMisplaced(config, child, found);
}
}  // namespace

wxString MisplacedOptions(wxConfigBase& config)
{
    const wxString path = config.GetPath();
    wxString found;
    FindMisplaced(config, wxString(), found);
    config.SetPath(path);
    found.Trim();
    return found;
}
