#include "monitor/log_file.h"

#include <wx/file.h>
#include <wx/intl.h>
#include <wx/log.h>

// Windows ends its texts with a full stop.
wxString SystemErrorText(unsigned long code)
{
    wxString text = wxSysErrorMsgStr(code);
    text.Trim();
    if (text.EndsWith(L"."))
        text.RemoveLast();
    return text;
}

namespace
{
// Keeps the reason of the first error the toolkit reports while it lives,
// instead of showing it: the caller tells the user once, in its own words.
// Works under a caller's wxLogNull too.
class ErrorCapture : public wxLog
{
public:
    ErrorCapture()
        : m_previous(wxLog::SetActiveTarget(this)), m_wasEnabled(wxLog::EnableLogging(true))
    {
    }
    ~ErrorCapture() override
    {
        wxLog::EnableLogging(m_wasEnabled);
        wxLog::SetActiveTarget(m_previous);
    }

    // The system's text for the error, else the toolkit's message, else
    // the fallback.
    wxString Reason(const wxString& fallback) const
    {
        return m_reason.empty() ? fallback : m_reason;
    }

protected:
    void DoLogRecord(wxLogLevel level, const wxString& message,
                     const wxLogRecordInfo& info) override
    {
        if (level > wxLOG_Error || !m_reason.empty())
            return;
        wxUIntPtr code = 0;
        if (info.GetNumValue(wxLOG_KEY_SYS_ERROR_CODE, &code) && code != 0)
            m_reason = SystemErrorText(static_cast<unsigned long>(code));
        else
            m_reason = message;
    }

private:
    wxLog* m_previous;
    bool m_wasEnabled;
    wxString m_reason;
};
}  // namespace

bool SaveTextAtomically(const wxString& path, const wxString& text, wxString& problem)
{
    problem.clear();
    const wxScopedCharBuffer utf8 = text.utf8_str();
    if (!text.empty() && utf8.length() == 0)
    {
        problem = wxString::Format(_("\"%s\" was not saved: the text cannot be written as UTF-8."),
                                   path);
        return false;
    }

    wxString step;
    wxString reason;
    {
        ErrorCapture capture;
        // The toolkit's commit removes the old file and renames the new one
        // in its place (a rename cannot replace a file on Windows), so the
        // new content is forced to disk before that.
        wxTempFile file;
        if (!file.Open(path))
        {
            step = _("no new file can be created in its folder");
        }
        else if (!file.Write(utf8.data(), utf8.length()) || !file.Flush())
        {
            step = _("writing the new file failed");
        }
        else if (!file.Commit())
        {
            step = _("the new file cannot take its place");
            // A failed commit has closed the new file; the destructor would
            // leave it behind.
            file.Discard();
        }
        else
        {
            return true;
        }
        reason = capture.Reason(_("the disk may be full"));
    }
    problem = wxString::Format(_("\"%s\" was not saved: %s (%s)."), path, step, reason);
    return false;
}
