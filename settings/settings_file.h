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

// One convention for everything below: each call returns its result, and
// when given a `problem` it receives why something went wrong, or is emptied
// when nothing did.

// The directory of the running executable, ending with the path separator.
wxString ProgramDirectory();
// The folder that holds the settings file and the dock layout, ending with
// the path separator; fixed once at start, the program directory until then.
const wxString& SettingsDirectory();
void SetSettingsDirectory(const wxString& directory);

// Whether the file at path can be handed to the file configuration: not too
// large, convertible, no NUL or unencodable characters, no absurd group
// nesting.  True when it does not exist.
bool CheckSettingsFile(const wxString& path, wxString* problem = nullptr);
// The same check on text already read.
bool CheckSettingsText(const wxString& text, wxString* problem = nullptr);

// A file configuration on the given path for this application.  The file
// must have passed CheckSettingsFile.  The toolkit's complaints about single
// lines are not shown; the first one is the problem.
wxFileConfig* OpenSettingsFile(const wxString& path, wxString* problem = nullptr);

// The main settings store.  When the file is damaged, the entries that could
// be read are kept, the file as it was is moved to path + ".damaged", a clean
// file is written in its place, and the problem is one message for the user.
wxFileConfig* OpenSettingsStore(const wxString& path, wxString* problem = nullptr);

// Larger files are refused unread: a real one holds a few hundred bytes.
constexpr size_t kMaxSettingsFileSize = 1024 * 1024;

// Flushes without letting the toolkit show its own messages.  True on
// success.  Saving goes on at many places and is reported once, at exit: the
// first failure of the run is also kept for TakeSaveFailure.
bool FlushSettings(wxConfigBase& config, wxString* problem = nullptr);
// Flushes as above, then deletes the configuration without a second round
// of messages from its destructor.  Null is allowed.
void CloseSettings(wxConfigBase* config);
// The first save failure of the run, once: empty afterwards and when
// nothing failed.
wxString TakeSaveFailure();
