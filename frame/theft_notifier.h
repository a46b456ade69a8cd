#pragma once

#include <memory>

#include <wx/event.h>
#include <wx/timer.h>

#include "monitor/hold_history.h"
#include "monitor/theft_notices.h"
#include "platform/desktop_notices.h"

// Tells the desktop of unprompted takes as they end (the session's
// notification service on Linux, a balloon on Windows), at most one every
// few seconds, never waiting for the desktop to answer.
class TheftNotifier : public wxEvtHandler
{
public:
    explicit TheftNotifier(wxWindow* parent);
    ~TheftNotifier() override;

    void Enable(bool enabled);
    bool IsEnabled() const { return m_enabled; }
    // The activity logger's word that a theft ended, and who launched the
    // thief's window (empty for nobody known).
    void Told(const Hold& hold, const wxString& launcher);
    // A program's try at the focus that the desktop refused.
    void Attempted(const std::string& program, std::int64_t whenMs);

private:
    void ShowDue();
    void OnTimer(wxTimerEvent& event);

    bool m_enabled = false;
    TheftNotices m_notices;
    std::unique_ptr<DesktopNotices> m_desktop;
    wxTimer m_timer;
};
