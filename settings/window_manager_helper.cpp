#include "settings/window_manager_helper.h"

#include <cstdint>

#include <wx/config.h>
#include <wx/toplevel.h>

#include "settings/options.h"

Placement BoundPlacement(Placement stored, const wxSize& defaultSize)
{
    // Bounded as read, before narrowing to int, so that a huge value cannot
    // wrap into the accepted range.
    if (stored.x < -1)
        stored.x = -1;
    if (stored.y < -1)
        stored.y = -1;
    if (stored.x > INT32_MAX)
        stored.x = -1;
    if (stored.y > INT32_MAX)
        stored.y = -1;
    if (stored.width < 200 || stored.width > 2500)
        stored.width = defaultSize.GetWidth();
    if (stored.height < 200 || stored.height > 2000)
        stored.height = defaultSize.GetHeight();
    return stored;
}

WindowManagerHelper::WindowManagerHelper(wxTopLevelWindow* window, const wxString& name)
    : m_window(window), m_name(name)
{
}

void WindowManagerHelper::Load(wxPoint& position, wxSize& size)
{
    wxConfigBase* config = wxConfigBase::Get();
    const wxString oldPath = config->GetPath();
    config->SetPath(L"/Layout/" + m_name);
    Placement stored;
    stored.x = config->ReadLong(L"PosX", -1);
    stored.y = config->ReadLong(L"PosY", -1);
    stored.width = config->ReadLong(L"SizeW", size.GetWidth());
    stored.height = config->ReadLong(L"SizeH", size.GetHeight());
    const Placement bounded = BoundPlacement(stored, size);
    m_x = static_cast<int>(bounded.x);
    m_y = static_cast<int>(bounded.y);
    m_width = static_cast<int>(bounded.width);
    m_height = static_cast<int>(bounded.height);
    m_maximized = ReadBoolOption(*config, L"IsMaximized", false);
    config->SetPath(oldPath);
    position = wxPoint(m_x, m_y);
    size = wxSize(m_width, m_height);
}

void WindowManagerHelper::Save()
{
    wxConfigBase* config = wxConfigBase::Get();
    const wxString oldPath = config->GetPath();
    config->SetPath(L"/Layout/" + m_name);
    config->Write(L"PosX", static_cast<long>(m_x));
    config->Write(L"PosY", static_cast<long>(m_y));
    config->Write(L"SizeW", static_cast<long>(m_width));
    config->Write(L"SizeH", static_cast<long>(m_height));
    WriteBoolOption(*config, L"IsMaximized", m_maximized);
    config->SetPath(oldPath);
    config->Flush();
}

void WindowManagerHelper::OnSize(wxSizeEvent& event)
{
    m_maximized = m_window->IsMaximized();
    if (!m_maximized && !m_window->IsIconized())
    {
        const wxRect rect = m_window->GetRect();
        m_x = rect.x;
        m_y = rect.y;
        m_width = rect.width;
        m_height = rect.height;
    }
    event.Skip();
}

void WindowManagerHelper::OnMove(wxMoveEvent& event)
{
    if (!m_window->IsMaximized() && !m_window->IsIconized())
    {
        const wxPoint position = m_window->GetPosition();
        m_x = position.x;
        m_y = position.y;
    }
    event.Skip();
}
