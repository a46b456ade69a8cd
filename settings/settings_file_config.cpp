#include "settings/settings_file_config.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <wx/app.h>
#include <wx/intl.h>
#include <wx/log.h>
#include <wx/mstream.h>

#include "platform/file_writes.h"
#include "settings/settings_check.h"
#include "settings/settings_encoding.h"
#include "settings/stored_names.h"
#include "settings/toolkit_capture.h"
#include "settings/verbatim_entries.h"

namespace
{
// The toolkit's file configuration, saved by replacing the file in one
// step: the toolkit's own save removes the old file before the new one takes
// its name, and being killed between the two would lose every setting.
class ReplacingFileConfig : public wxFileConfig
{
public:
    ReplacingFileConfig(const wxString& appName, const wxString& vendorName, const wxString& path)
        : wxFileConfig(appName, vendorName, path, wxString(),
                       wxCONFIG_USE_LOCAL_FILE | wxCONFIG_USE_GLOBAL_FILE, ReadDetectedWriteUtf8()),
          m_path(path), m_saved(Text())
    {
        wxString text;
        LogCapture quiet;
        if (ReadSettingsText(path, kMaxSettingsFileSize, LongFile::Refuse, text) == TextRead::Read)
            for (const wchar_t* key : {kOptionExcludeModules, kOptionExcludeTitles})
                if (const std::optional<wxString> value = VerbatimEntry(
                        text, wxString(key).BeforeLast(L'/'), wxString(key).AfterLast(L'/')))
                    m_verbatim.emplace_back(key, *value);
    }
    // The toolkit's destructor would save again, but finds nothing left to
    // save once this has run.
    ~ReplacingFileConfig() override { Flush(); }

    bool Flush(bool = false) override
    {
        // What the file would hold: unchanged text is not written again.
        const std::string text = Text();
        if (text == m_saved)
            return true;
        wxString reason;
        if (!ReplaceFileContents(m_path, text.data(), text.size(), reason))
        {
            wxLogError(_("\"%s\" cannot be saved: %s"), m_path, reason);
            return false;
        }
        m_saved = text;
        return true;
    }

protected:
    // The regular expressions as written: see verbatim_entries.h.
    bool DoReadString(const wxString& key, wxString* value) const override
    {
        if (!wxFileConfig::DoReadString(key, value))
            return false;
        const wxString absolute = key.StartsWith(L"/") ? key : GetPath() + L"/" + key;
        for (const auto& [name, verbatim] : m_verbatim)
            if (absolute == name)
                *value = PatternAsWritten(verbatim, *value);
        return true;
    }

private:
    std::string Text()
    {
        wxMemoryOutputStream out;
        Save(out, ReadDetectedWriteUtf8());
        std::string text(static_cast<size_t>(out.GetSize()), '\0');
        if (!text.empty())
            out.CopyTo(&text[0], text.size());
        return text;
    }

    wxString m_path;
    std::string m_saved;
    std::vector<std::pair<wxString, wxString>> m_verbatim;
};

wxFileConfig* NewFileConfig(const wxString& path)
{
    // wxTheApp casts to the GUI application class; a console program (the
    // unit tests) has only a wxAppConsole.
    const wxAppConsole* app = wxAppConsole::GetInstance();
    const wxString appName = app ? app->GetAppName() : wxString(L"Corvalin");
    const wxString vendorName = app ? app->GetVendorName() : wxString(L"Pellowen");
    wxFileConfig* config = new ReplacingFileConfig(appName, vendorName, path);
    // Values are numbers and the docking manager's own text; expanding "$(..."
    // in them would only log errors at the user.
    config->SetExpandEnvVars(false);
    return config;
}
}  // namespace

wxFileConfig* OpenSettingsFile(const wxString& path, wxString* problem)
{
    LogCapture capture;
    AssertCapture asserts;
    wxFileConfig* config = NewFileConfig(path);
    if (capture.AnyComplaint())
        ReportProblem(problem, capture.FirstComplaint());
    else if (asserts.Any())
        ReportProblem(problem, _("it has lines the settings reader does not accept"));
    else
        ReportProblem(problem, wxString());
    return config;
}
