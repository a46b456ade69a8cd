#include "frame/theft_notifier.h"

#include <algorithm>
#include <memory>

#include <wx/datetime.h>
#include <wx/intl.h>

namespace
{
std::int64_t NowMs()
{
    return wxDateTime::UNow().GetValue().GetValue();
}
}  // namespace

TheftNotifier::TheftNotifier(wxWindow* parent)
    : m_desktop(CreateDesktopNotices(parent)), m_timer(this)
{
    Bind(wxEVT_TIMER, &TheftNotifier::OnTimer, this);
}

TheftNotifier::~TheftNotifier() = default;

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
    const wxDateTime taken(wxLongLong(hold.startMs));
    m_notices.Add(name, *hold.endMs - hold.startMs, hold.title,
                  taken.Format(L"%H:%M:%S").utf8_string());
    ShowDue();
}

void TheftNotifier::Attempted(const std::string& program, std::int64_t whenMs)
{
    if (!m_enabled)
        return;
    m_notices.AddAttempt(program, wxDateTime(wxLongLong(whenMs)).Format(L"%H:%M:%S").utf8_string());
    ShowDue();
}

void TheftNotifier::ShowDue()
{
    const std::int64_t now = NowMs();
    if (const std::optional<std::string> text = m_notices.Take(now))
    {
        // A notice of its own each time, so that one shown while the last
        // is still up does not replace it, and each reaches the history.  A
        // desktop without a notification service only loses the notice.
        m_desktop->Show(_("Focus taken"), wxString::FromUTF8(*text));
    }
    if (const std::optional<std::int64_t> due = m_notices.DueMs())
        if (!m_timer.IsRunning())
            m_timer.StartOnce(static_cast<int>(std::clamp<std::int64_t>(*due - now, 1, 60000)));
}

void TheftNotifier::OnTimer(wxTimerEvent&)
{
    ShowDue();
}
