#pragma once

#include <string>

#include <wx/fileconf.h>
#include <wx/log.h>
#include <wx/string.h>

#include "support/temp_folder.h"


void WriteBytes(const wxString& path, const std::string& bytes);
std::string ReadBytes(const wxString& path);
bool Exists(const wxString& path);

// Keeps every message logged while it lives, so that a test can see that
// nothing would have reached the user.
class LogRecorder : public wxLog
{
public:
    LogRecorder() { m_previous = wxLog::SetActiveTarget(this); }
    ~LogRecorder() override { wxLog::SetActiveTarget(m_previous); }
    int Count() const { return m_count; }
    const wxString& Text() const { return m_text; }

protected:
    void DoLogRecord(wxLogLevel, const wxString& message, const wxLogRecordInfo&) override
    {
        ++m_count;
        m_text += message + L"\n";
    }

private:
    wxLog* m_previous = nullptr;
    int m_count = 0;
    wxString m_text;
};

// Failed toolkit assertions since the start of the test program.
int AssertionCount();
