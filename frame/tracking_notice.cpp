#include "frame/tracking_notice.h"

#include <wx/aui/framemanager.h>
#include <wx/textctrl.h>
#include <wx/tokenzr.h>

#include "settings/stored_names.h"

TrackingNotice::TrackingNotice(wxWindow* parent, wxAuiManager& manager)
    : m_parent(parent), m_manager(manager)
{
}

int TrackingNotice::LinesAt(int width) const
{
    const wxString text = m_text->GetValue();
    if (text.empty())
        return 0;
    const int space = m_text->GetTextExtent(L" ").x;
    int lines = 1, used = 0;
    wxStringTokenizer words(text, L" ", wxTOKEN_STRTOK);
    while (words.HasMoreTokens())
    {
        const int word = m_text->GetTextExtent(words.GetNextToken()).x;
        if (used > 0 && used + space + word > width)
        {
            ++lines;
            used = 0;
        }
        // A word longer than the line wraps inside itself.
        if (width > 0 && word > width)
        {
            lines += word / width;
            used = word % width;
            continue;
        }
        used += (used > 0 ? space : 0) + word;
    }
    return lines;
}

void TrackingNotice::Set(const wxString& text)
{
    if (!m_text)
    {
        if (text.empty())
            return;
        m_text = new wxTextCtrl(m_parent, wxID_ANY, wxString(), wxDefaultPosition, wxDefaultSize,
                                wxTE_MULTILINE | wxTE_READONLY | wxTE_WORDWRAP | wxTE_NO_VSCROLL |
                                    wxBORDER_NONE);
        m_text->SetBackgroundColour(m_parent->GetBackgroundColour());
        m_manager.AddPane(m_text, wxAuiPaneInfo()
                                      .Name(kNoticePaneName)
                                      .Bottom()
                                      .Layer(2)
                                      .CaptionVisible(false)
                                      .CloseButton(false)
                                      .Floatable(false)
                                      .Movable(false)
                                      .Gripper(false)
                                      .PaneBorder(false)
                                      .DockFixed(true)
                                      .Hide());
    }
    m_text->ChangeValue(text);
    m_lines = -1;  // shown or hidden, the pane is laid out anew
    Apply();
}

void TrackingNotice::FitToWidth()
{
    if (!m_text || !m_text->IsShown() || m_text->GetValue().empty())
        return;
    Apply();
}

void TrackingNotice::Apply()
{
    wxAuiPaneInfo& pane = m_manager.GetPane(m_text);
    if (m_text->GetValue().empty())
    {
        if (pane.IsShown())
        {
            pane.Hide();
            m_manager.Update();
        }
        return;
    }
    // A few pixels less than the frame: the control's own margins.
    const int lines = LinesAt(m_text->GetParent()->GetClientSize().x - 12);
    if (lines == m_lines && pane.IsShown())
        return;
    m_lines = lines;
    const int height = lines * m_text->GetCharHeight() + 8;
    pane.Show().MinSize(wxSize(-1, height)).BestSize(wxSize(-1, height));
    m_manager.Update();
}
