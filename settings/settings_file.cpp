#include "settings/settings_file.h"

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <wx/app.h>
#include <wx/file.h>
#include <wx/filename.h>
#include <wx/intl.h>
#include <wx/log.h>
#include <wx/mstream.h>
#include <wx/stdpaths.h>

#include "platform/file_writes.h"

size_t ReadDetectedWriteUtf8::ToWChar(wchar_t* dst, size_t dstLen, const char* src,
                                      size_t srcLen) const
{
    return m_read.ToWChar(dst, dstLen, src, srcLen);
}

size_t ReadDetectedWriteUtf8::FromWChar(char* dst, size_t dstLen, const wchar_t* src,
                                        size_t srcLen) const
{
    return wxConvUTF8.FromWChar(dst, dstLen, src, srcLen);
}

namespace
{
// Groups nested deeper than this are not settings; the toolkit would also
// recurse once per level while building and freeing them.
const int kMaxGroupDepth = 32;

wxString g_settingsDirectory;
wxString g_saveFailure;
bool g_saveFailureTaken = false;

// Collects the toolkit's messages while it lives instead of showing them.
class LogCapture : public wxLog
{
public:
    LogCapture() { m_previous = wxLog::SetActiveTarget(this); }
    ~LogCapture() override { wxLog::SetActiveTarget(m_previous); }

    bool Any() const { return m_count > 0; }
    bool AnyError() const { return m_errors > 0; }
    const wxString& First() const { return m_first; }

protected:
    void DoLogRecord(wxLogLevel level, const wxString& message,
                     const wxLogRecordInfo&) override
    {
        if (level > wxLOG_Warning)
            return;
        if (m_count++ == 0)
            m_first = message;
        if (level <= wxLOG_Error)
            ++m_errors;
    }

private:
    wxLog* m_previous = nullptr;
    int m_count = 0;
    int m_errors = 0;
    wxString m_first;
};

// Counts the toolkit's assertions while it lives: the file configuration
// asserts, rather than logs, on some malformed files (an entry without a name,
// a group header given twice).
class AssertCapture
{
public:
    AssertCapture() : m_previous(wxSetAssertHandler(&Count)) { s_count = 0; }
    ~AssertCapture() { wxSetAssertHandler(m_previous); }
    bool Any() const { return s_count > 0; }

private:
    static void Count(const wxString&, int, const wxString&, const wxString&, const wxString&)
    {
        ++s_count;
    }
    static int s_count;
    wxAssertHandler_t m_previous;
};

int AssertCapture::s_count = 0;

bool IsUnicodeScalar(unsigned long c)
{
    return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
}

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

// Every entry below `group` as (absolute key, raw value).
void CollectEntries(wxFileConfig& config, const wxString& group,
                    std::vector<std::pair<wxString, wxString>>& entries)
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

// Sets the problem if one is wanted; true when there is none.
bool Report(wxString* problem, const wxString& text)
{
    if (problem)
        *problem = text;
    return text.empty();
}

wxString SettingsTextProblem(const wxString& text)
{
    const wchar_t* chars = text.wc_str();
    const size_t length = text.length();
    int depth = 0;
    bool inHeader = false;
    bool lineStart = true;
    for (size_t i = 0; i < length; ++i)
    {
        unsigned long c = static_cast<unsigned long>(chars[i]);
        if (sizeof(wchar_t) == 2 && c >= 0xD800 && c <= 0xDBFF && i + 1 < length &&
            chars[i + 1] >= 0xDC00 && chars[i + 1] <= 0xDFFF)
        {
            ++i;
            c = 0x10000;
        }
        if (c == 0)
            return _("it contains NUL characters");
        if (!IsUnicodeScalar(c))
            return _("it contains characters that are not Unicode");
        if (c == L'\n' || c == L'\r')
        {
            lineStart = true;
            inHeader = false;
            depth = 0;
            continue;
        }
        if (lineStart && (c == L' ' || c == L'\t' || c == L'\v' || c == L'\f'))
            continue;
        if (lineStart && c == L'[')
            inHeader = true;
        else if (inHeader && c == L']')
            inHeader = false;
        else if (inHeader && c == L'/' && ++depth > kMaxGroupDepth)
            return _("its groups are nested too deeply");
        lineStart = false;
    }
    return wxString();
}

// The file's text, up to maxBytes of it, when its encoding can be read.
bool ReadSettingsText(const wxString& path, wxString& text, size_t maxBytes)
{
    wxLogNull quiet;
    wxFile file;
    if (!file.Open(path))
        return false;
    const wxFileOffset length = file.Length();
    if (length <= 0)
        return false;
    const size_t size = std::min(static_cast<size_t>(length), maxBytes);
    std::vector<char> bytes(size + 1, '\0');
    if (file.Read(bytes.data(), size) != static_cast<ssize_t>(size))
        return false;
    const ReadDetectedWriteUtf8 conv;
    if (conv.ToWChar(nullptr, 0, bytes.data(), size) == wxCONV_FAILED)
        return false;
    text = wxString(bytes.data(), conv, size);
    return true;
}

// How much of a damaged file is searched for entries, and the longest line
// taken from it: a real settings file has a few hundred bytes in short lines.
constexpr size_t kMaxSalvageBytes = 16 * 1024 * 1024;
constexpr size_t kMaxSalvageLine = 64 * 1024;

// The entries of a file that failed the check, read from its lines that
// pass it: one bad line, or a file grown far too large, must not cost every
// good one.
void SalvageLines(const wxString& path, std::vector<std::pair<wxString, wxString>>& entries)
{
    wxString text;
    if (!ReadSettingsText(path, text, kMaxSalvageBytes))
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
        if (line.length() <= kMaxSalvageLine && SettingsTextProblem(line).empty())
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

wxString SettingsFileProblem(const wxString& path)
{
    if (!wxFileName::FileExists(path))
        return wxString();
    wxLogNull quiet;
    wxFile file;
    if (!file.Open(path))
        return _("it cannot be read");
    const wxFileOffset size = file.Length();
    if (size < 0)
        return _("it cannot be read");
    if (static_cast<unsigned long long>(size) > kMaxSettingsFileSize)
        return _("it is larger than 1 MiB");
    std::vector<char> bytes(static_cast<size_t>(size) + 1, '\0');
    if (file.Read(bytes.data(), static_cast<size_t>(size)) != size)
        return _("it cannot be read");
    if (size == 0)
        return wxString();
    const ReadDetectedWriteUtf8 conv;
    const size_t needed = conv.ToWChar(nullptr, 0, bytes.data(), static_cast<size_t>(size));
    if (needed == wxCONV_FAILED)
        return _("its encoding cannot be read");
    return SettingsTextProblem(wxString(bytes.data(), conv, static_cast<size_t>(size)));
}
}  // namespace

wxString ProgramDirectory()
{
    return wxPathOnly(wxStandardPaths::Get().GetExecutablePath()) + wxFileName::GetPathSeparator();
}

const wxString& SettingsDirectory()
{
    if (g_settingsDirectory.empty())
        g_settingsDirectory = ProgramDirectory();
    return g_settingsDirectory;
}

void SetSettingsDirectory(const wxString& directory)
{
    g_settingsDirectory = directory;
}

bool CheckSettingsText(const wxString& text, wxString* problem)
{
    return Report(problem, SettingsTextProblem(text));
}

bool CheckSettingsFile(const wxString& path, wxString* problem)
{
    return Report(problem, SettingsFileProblem(path));
}

wxFileConfig* OpenSettingsFile(const wxString& path, wxString* problem)
{
    LogCapture capture;
    AssertCapture asserts;
    wxFileConfig* config = NewFileConfig(path);
    if (capture.Any())
        Report(problem, capture.First());
    else if (asserts.Any())
        Report(problem, _("it has lines the settings reader does not accept"));
    else
        Report(problem, wxString());
    return config;
}

wxFileConfig* OpenSettingsStore(const wxString& path, wxString* problem)
{
    Report(problem, wxString());
    wxString reason = SettingsFileProblem(path);
    std::unique_ptr<wxFileConfig> loaded;
    std::vector<std::pair<wxString, wxString>> salvaged;
    if (reason.empty())
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
            Report(problem, wxString::Format(
                _("The settings file \"%s\" is damaged (%s). Settings that could not be read "
                  "use their defaults."),
                path, reason));
            return loaded.release();
        }
        Report(problem, wxString::Format(
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
    Report(problem, wxString::Format(
        _("The settings file \"%s\" is damaged (%s). Settings that could not be read use "
          "their defaults. The file as it was has been kept as \"%s\"."),
        path, reason, keptPath));
    return fresh;
}

bool FlushSettings(wxConfigBase& config, wxString* problem)
{
    LogCapture capture;
    const bool flushed = config.Flush();
    if (flushed && !capture.AnyError())
        return Report(problem, wxString());
    const wxString why = capture.AnyError() ? capture.First() : wxString(_("unknown error"));
    if (g_saveFailure.empty() && !g_saveFailureTaken)
        g_saveFailure = why;
    Report(problem, why);
    return false;
}

void CloseSettings(wxConfigBase* config)
{
    if (!config)
        return;
    FlushSettings(*config);
    wxLogNull quiet;
    delete config;
}

wxString TakeSaveFailure()
{
    if (g_saveFailureTaken)
        return wxString();
    g_saveFailureTaken = !g_saveFailure.empty();
    return g_saveFailure;
}
