#include "frame/theft_notifier.h"

#include <algorithm>

#include <wx/datetime.h>
#include <wx/intl.h>

namespace
{
std::int64_t NowMs()
{
    return wxDateTime::UNow().GetValue().GetValue();
}
}  // namespace

TheftNotifier::TheftNotifier(wxWindow* parent) : m_timer(this)
{
    m_message.SetParent(parent);
    m_message.SetTitle(_("Focus taken"));
    Bind(wxEVT_TIMER, &TheftNotifier::OnTimer, this);
}

void TheftNotifier::Enable(bool enabled)
{
    m_enabled = enabled;
    if (!enabled)
    {
        m_notices.Clear();
        m_timer.Stop();
    }
}

void TheftNotifier::Told(const Hold& hold, const wxString& launcher)
{
    if (!m_enabled || !hold.IsEndedTheft())
        return;
    // The window's program alone is often a mere host (a terminal): who
    // started it says who the thief is.
    const std::string name =
        launcher.empty() ? hold.module : hold.module + " (started by " + launcher.utf8_string() + ")";
    m_notices.Add(name, *hold.endMs - hold.startMs);
    ShowDue();
}

void TheftNotifier::ShowDue()
{
    const std::int64_t now = NowMs();
    if (const std::optional<std::string> text = m_notices.Take(now))
    {
        m_message.SetMessage(wxString::FromUTF8(*text));
        // A desktop without a notification service only loses the notice.
        m_message.Show(wxNotificationMessage::Timeout_Auto);
    }
    if (const std::optional<std::int64_t> due = m_notices.DueMs())
        if (!m_timer.IsRunning())
            m_timer.StartOnce(static_cast<int>(std::clamp<std::int64_t>(*due - now, 1, 60000)));
}

void TheftNotifier::OnTimer(wxTimerEvent&)
{
    ShowDue();
}
