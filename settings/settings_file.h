#pragma once

#include <wx/fileconf.h>
#include <wx/strconv.h>

// Reads whatever encoding automatic detection finds (a BOM, UTF-8, else
// Latin-1) and always writes UTF-8.  The toolkit's file configuration uses one
// conversion for both directions, and the detected one would write a UTF-16
// file back without its BOM, which no later start could read.
class ReadDetectedWriteUtf8 : public wxMBConv
{
public:
    size_t ToWChar(wchar_t* dst, size_t dstLen, const char* src,
                   size_t srcLen = wxNO_LEN) const override;
    size_t FromWChar(char* dst, size_t dstLen, const wchar_t* src,
                     size_t srcLen = wxNO_LEN) const override;
    size_t GetMBNulLen() const override { return 1; }
    wxMBConv* Clone() const override { return new ReadDetectedWriteUtf8; }

private:
    wxConvAuto m_read;
};

// Why the file at path cannot be handed to the file configuration: too
// large, not convertible, NUL or unencodable characters, absurd group nesting.
// Empty when it can, and when it does not exist.
wxString CheckSettingsFile(const wxString& path);
// The same check on text already read.
wxString CheckSettingsText(const wxString& text);

// A file configuration on the given path for this application.  The file
// must have passed CheckSettingsFile.  The toolkit's complaints about single
// lines are not shown; the first one goes to `damage` when given.
wxFileConfig* OpenSettingsFile(const wxString& path, wxString* damage = nullptr);

// The main settings store.  When the file is damaged, the entries that could
// be read are kept, the file as it was is moved to path + ".damaged", a clean
// file is written in its place, and `problem` receives one message for the
// user.
wxFileConfig* OpenSettingsStore(const wxString& path, wxString& problem);

// Larger files are refused unread: a real one holds a few hundred bytes.
constexpr size_t kMaxSettingsFileSize = 1024 * 1024;

// Flushes without letting the toolkit show its own messages; the first
// failure of the run is kept for TakeSaveFailure.  True on success.
bool FlushSettings(wxConfigBase& config);
// Flushes as above, then deletes the configuration without a second round
// of messages from its destructor.  Null is allowed.
void CloseSettings(wxConfigBase* config);
// The first save failure of the run, once: empty afterwards and when
// nothing failed.
wxString TakeSaveFailure();
