#include "settings/settings_store.h"

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include <wx/filefn.h>
#include <wx/filename.h>
#include <wx/intl.h>
#include <wx/log.h>
#include <wx/mstream.h>

#include "settings/settings_check.h"
#include "settings/settings_encoding.h"
#include "settings/settings_file_config.h"
#include "settings/settings_save.h"
#include "settings/toolkit_capture.h"

namespace
{
using Entries = std::vector<std::pair<wxString, wxString>>;

// Every entry below `group` as (absolute key, raw value).
void CollectEntries(wxFileConfig& config, const wxString& group, Entries& entries)
{
    config.SetPath(group.empty() ? wxString(L"/") : group);
    wxString name;
    long index = 0;
    for (bool more = config.GetFirstEntry(name, index); more;
         more = config.GetNextEntry(name, index))
    {
        if (!name.empty())
            entries.emplace_back(group + L"/" + name, config.Read(name, wxString()));
    }
    std::vector<wxString> groups;
    for (bool more = config.GetFirstGroup(name, index); more;
         more = config.GetNextGroup(name, index))
        groups.push_back(group + L"/" + name);
    for (const wxString& sub : groups)
        CollectEntries(config, sub, entries);
}

// How much of a damaged file is searched for entries, and the longest line
// taken from it: a real settings file has a few hundred bytes in short lines.
constexpr size_t kMaxSalvageBytes = 16 * 1024 * 1024;
constexpr size_t kMaxSalvageLine = 64 * 1024;

// The entries of a file that failed the check, read from its lines that
// pass it: one bad line, or a file grown far too large, must not cost every
// good one.
void SalvageLines(const wxString& path, Entries& entries)
{
    wxString text;
    if (ReadSettingsText(path, kMaxSalvageBytes, LongFile::ReadItsStart, text) != TextRead::Read)
        return;
    wxString kept;
    size_t start = 0;
    while (start < text.length() && kept.length() < kMaxSettingsFileSize)
    {
        size_t end = text.find(L'\n', start);
        if (end == wxString::npos)
            end = text.length();
        wxString line = text.substr(start, std::min(end - start, kMaxSalvageLine + 1));
        // NUL runs are what a crash while writing leaves, often glued to a
        // good line.
        line.erase(std::remove(line.begin(), line.end(), wxUniChar(0)), line.end());
        if (line.length() <= kMaxSalvageLine && CheckSettingsText(line))
            kept += line + L"\n";
        start = end + 1;
    }
    const wxScopedCharBuffer utf8 = kept.utf8_str();
    wxMemoryInputStream input(utf8.data(), utf8.length());
    LogCapture quiet;
    AssertCapture asserts;
    wxFileConfig config(input, wxConvUTF8);
    config.SetExpandEnvVars(false);
    CollectEntries(config, wxString(), entries);
}

// Where a damaged file is set aside: never over an earlier damaged copy,
// which may be the only one holding what the user lost.
wxString FreeDamagedName(const wxString& path)
{
    wxString name = path + L".damaged";
    for (int n = 2; n <= 999 && wxFileName::Exists(name, wxFILE_EXISTS_ANY | wxFILE_EXISTS_NO_FOLLOW);
         ++n)
        name = wxString::Format(L"%s.damaged-%d", path, n);
    return name;
}
}  // namespace

wxFileConfig* OpenSettingsStore(const wxString& path, wxString* problem)
{
    ReportProblem(problem, wxString());
    wxString reason;
    std::unique_ptr<wxFileConfig> loaded;
    Entries salvaged;
    if (CheckSettingsFile(path, &reason))
    {
        loaded.reset(OpenSettingsFile(path, &reason));
        if (reason.empty())
            return loaded.release();
        // What parsed is kept; the toolkit would write the bad lines back
        // and complain about them at every start.
        CollectEntries(*loaded, wxString(), salvaged);
        loaded->SetPath(L"/");
    }
    else
    {
        SalvageLines(path, salvaged);
    }

    const wxString keptPath = FreeDamagedName(path);
    bool kept = false;
    {
        wxLogNull quiet;
        kept = wxRenameFile(path, keptPath, false);
    }
    if (!kept)
    {
        if (loaded)
        {
            // The file stays as it is: the toolkit writes unreadable lines
            // back unchanged.
            ReportProblem(problem, wxString::Format(
                _("The settings file \"%s\" is damaged (%s). Settings that could not be read "
                  "use their defaults."),
                path, reason));
            return loaded.release();
        }
        ReportProblem(problem, wxString::Format(
            _("The settings file \"%s\" is damaged (%s). Defaults are used, and since the file "
              "could not be set aside, changes will not be saved."),
            path, reason));
        wxMemoryInputStream nothing("", 0);
        return new wxFileConfig(nothing, ReadDetectedWriteUtf8());
    }

    loaded.reset();
    wxFileConfig* fresh = OpenSettingsFile(path);
    for (const auto& entry : salvaged)
        fresh->Write(entry.first, entry.second);
    if (!salvaged.empty())
        FlushSettings(*fresh);
    ReportProblem(problem, wxString::Format(
        _("The settings file \"%s\" is damaged (%s). Settings that could not be read use "
          "their defaults. The file as it was has been kept as \"%s\"."),
        path, reason, keptPath));
    return fresh;
}
