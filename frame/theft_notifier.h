#pragma once

#include <deque>
#include <memory>

#include <wx/event.h>
#include <wx/notifmsg.h>
#include <wx/timer.h>

#include "monitor/hold_history.h"
#include "monitor/theft_notices.h"

// Tells the desktop of unprompted takes as they end, through the toolkit's
// notifications (the session's notification service on Linux, a balloon on
// Windows), at most one every few seconds.
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

private:
    void ShowDue();
    void OnTimer(wxTimerEvent& event);

    bool m_enabled = false;
    TheftNotices m_notices;
    wxWindow* m_parent;
    wxTimer m_timer;
    // The last notices shown, kept while the desktop may still show them.
    std::deque<std::unique_ptr<wxNotificationMessage>> m_shown;
    static constexpr std::size_t kKeptShown = 8;
};
