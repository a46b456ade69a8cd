#include "platform/session/reconnecting_platform.h"

#include <algorithm>

#include <wx/datetime.h>
#include <wx/timer.h>

namespace
{
// A new compositor that is still starting is asked again soon rather than
// waited for: each try waits only the backend's RetryWaitMs.
constexpr int kFirstRetryMs = 100;
constexpr int kLongestRetryMs = 1000;
}  // namespace

class ReconnectingPlatform::Timer final : public wxTimer
{
public:
    explicit Timer(ReconnectingPlatform& owner) : m_owner(owner) {}
    void Notify() override { m_owner.TryAgain(); }

private:
    ReconnectingPlatform& m_owner;
};

int ReconnectingPlatform::RetryDelayMs(int failures)
{
    int delay = kFirstRetryMs;
    for (int i = 0; i < failures && delay < kLongestRetryMs; ++i)
        delay *= 2;
    return std::min(delay, kLongestRetryMs);
}

ReconnectingPlatform::ReconnectingPlatform(Family family,
                                           std::unique_ptr<ReportedWindowsPlatform> backend,
                                           Fallback fallback, Notice notice)
    : m_family(family), m_fallback(fallback), m_notice(std::move(notice)),
      m_timer(std::make_unique<Timer>(*this))
{
    if (backend)
    {
        m_name = backend->Name();
        Adopt(std::move(backend));
    }
    else
    {
        FallBack();
        m_timer->StartOnce(RetryDelayMs(0));
    }
}

ReconnectingPlatform::~ReconnectingPlatform()
{
    m_timer->Stop();
}

void ReconnectingPlatform::Adopt(std::unique_ptr<ReportedWindowsPlatform> backend)
{
    m_backend = std::move(backend);
    m_backend->SetLostHandler([this](const wxString& why) { OnLost(why); });
    if (m_eventsStarted)
        m_backend->StartEvents(m_onChange);
    if (m_onAttempt)
        m_backend->WatchAttempts(m_onAttempt);
    m_current = m_backend.get();
    m_fallbackPlatform.reset();
    wxString problem;
    if (m_hotKey)
        m_backend->BindHotKey(m_hotKey->modifiers, m_hotKey->keyCode, m_hotKey->pressed, problem);
}

bool ReconnectingPlatform::BindHotKey(int modifiers, int keyCode, std::function<void()> pressed,
                                      wxString& problem)
{
    m_hotKey = HotKey{modifiers, keyCode, pressed};
    problem.clear();
    return m_backend && m_backend->BindHotKey(modifiers, keyCode, std::move(pressed), problem);
}

void ReconnectingPlatform::UnbindHotKey()
{
    m_hotKey.reset();
    if (m_backend)
        m_backend->UnbindHotKey();
}

void ReconnectingPlatform::WatchAttempts(std::function<void(WindowHandle, AttemptKind)> attempted)
{
    m_onAttempt = std::move(attempted);
    m_current->WatchAttempts(m_onAttempt);
}

bool ReconnectingPlatform::StartEvents(std::function<void()> onChange)
{
    m_onChange = std::move(onChange);
    m_eventsStarted = true;
    const bool started = m_current->StartEvents(m_onChange);
    // A backend that may come back reports its changes itself then.
    return started || m_backend == nullptr;
}

void ReconnectingPlatform::WatchWindow(WindowHandle window)
{
    m_watched = window;
    m_current->WatchWindow(window);
}

void ReconnectingPlatform::OnLost(const wxString& why)
{
    if (!m_backend)
        return;
    m_name = m_backend->Name();
    m_lostMs = wxDateTime::UNow().GetValue().GetValue();
    m_notice(m_name + L" stopped reporting windows; reconnecting.", why);
    // Still inside the lost backend's own call: it goes once that returned.
    m_lostBackend = std::move(m_backend);
    FallBack();
    m_failures = 0;
    m_timer->StartOnce(1);
}

void ReconnectingPlatform::FallBack()
{
    m_fallbackPlatform = m_fallback();
    m_current = m_fallbackPlatform.get();
    if (m_eventsStarted)
        m_current->StartEvents(m_onChange);
    if (m_onAttempt)
        m_current->WatchAttempts(m_onAttempt);
    if (m_watched != 0)
        m_current->WatchWindow(m_watched);
}

void ReconnectingPlatform::TryAgain()
{
    m_lostBackend.reset();
    std::unique_ptr<ReportedWindowsPlatform> backend = m_family();
    if (!backend->Connect(backend->RetryWaitMs()))
    {
        m_timer->StartOnce(RetryDelayMs(++m_failures));
        return;
    }
    m_name = backend->Name();
    Adopt(std::move(backend));
    m_failures = 0;
    m_notice(wxString(), m_name + L" reports windows again.");
}
