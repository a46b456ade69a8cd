// The monitor's side of the main frame: timer, commands and the Activity log.
#include "frame/main_frame.h"

#include <wx/textctrl.h>

void MainFrame::OnMonitorTimer(wxTimerEvent&)
{
    if (m_monitorWindows)
        LogForegroundChange();
}

void MainFrame::OnMonitorWindows(wxCommandEvent&)
{
    m_monitorWindows = !m_monitorWindows;
}

void MainFrame::OnClearLog(wxCommandEvent&)
{
    m_log->SetValue(wxString());
    m_lineCount = 0;
    m_lastWindow = 0;
}

void MainFrame::LogForegroundChange()
{
    const wxString line = FormatForegroundChange();
    if (!line.empty())
        m_log->AppendText(line);
}

wxString MainFrame::FormatForegroundChange()
{
    return ::FormatForegroundChange(*m_platform, m_lastWindow, m_lineCount);
}

void MainFrame::GetWindowIdentity(WindowHandle window, wxString& module, wxString& title)
{
    ::GetWindowIdentity(*m_platform, window, module, title);
}
