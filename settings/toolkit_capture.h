#pragma once

#include <wx/debug.h>
#include <wx/log.h>
#include <wx/string.h>

// Takes the toolkit's log messages while it lives, instead of letting them
// reach the user: a damaged or unsavable settings file is told once, in the
// program's own words.  Restores the previous log target when it ends.
class LogCapture : public wxLog
{
public:
    LogCapture() { m_previous = wxLog::SetActiveTarget(this); }
    ~LogCapture() override { wxLog::SetActiveTarget(m_previous); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    // Every message taken, of any level, and their text one a line.
    int Count() const { return m_count; }
    const wxString& Text() const { return m_text; }
    // Warnings and errors: what would have been shown to the user in a box.
    bool AnyComplaint() const { return m_complaints > 0; }
    bool AnyError() const { return m_errors > 0; }
    // The first warning or error, the one that says what went wrong.
    const wxString& FirstComplaint() const { return m_firstComplaint; }

protected:
    void DoLogRecord(wxLogLevel level, const wxString& message, const wxLogRecordInfo&) override
    {
        ++m_count;
        m_text += message + L"\n";
        if (level > wxLOG_Warning)
            return;
        if (m_complaints++ == 0)
            m_firstComplaint = message;
        if (level <= wxLOG_Error)
            ++m_errors;
    }

private:
    wxLog* m_previous = nullptr;
    int m_count = 0;
    int m_complaints = 0;
    int m_errors = 0;
    wxString m_text;
    wxString m_firstComplaint;
};

// Counts the toolkit's assertions while it lives: the file configuration
// asserts, rather than logs, on some malformed files (an entry without a name,
// a group header given twice).
class AssertCapture
{
public:
    AssertCapture() : m_previous(wxSetAssertHandler(&Count)) { s_count = 0; }
    ~AssertCapture() { wxSetAssertHandler(m_previous); }
    AssertCapture(const AssertCapture&) = delete;
    AssertCapture& operator=(const AssertCapture&) = delete;

    bool Any() const { return s_count > 0; }

private:
    static void Count(const wxString&, int, const wxString&, const wxString&, const wxString&)
    {
        ++s_count;
    }
    static inline int s_count = 0;
    wxAssertHandler_t m_previous;
};
