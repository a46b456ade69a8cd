#include "frame/start_hand_back.h"

void StartHandBack::Remember()
{
    m_to = m_platform.ForegroundWindow();
    m_ticksLeft = m_ticks;
}

void StartHandBack::GiveBack()
{
    if (m_to == 0)
        return;
    if (m_platform.IsValidWindow(m_to))
        m_platform.GiveForeground(m_to);
    m_ticksLeft = m_ticks;
}

void StartHandBack::Tick(bool frameShown)
{
    if (m_to == 0)
        return;
    if (frameShown || --m_ticksLeft < 0 || !m_platform.IsValidWindow(m_to))
    {
        m_to = 0;
        return;
    }
    const WindowHandle front = m_platform.ForegroundWindow();
    if (front == m_to)
        return;
    if (front == 0 || m_platform.WindowProcessId(front) == m_ownPid)
        m_platform.GiveForeground(m_to);
    else
        m_to = 0;  // the user went elsewhere: theirs to keep
}
