#pragma once

// The line below the log that says which windows cannot be seen (and what
// to do about it).  A read-only text, wrapped to the frame's width and as
// tall as its lines, so that the whole notice, commands included, can be
// read and copied at any width.  Its pane is shown only while there is a
// notice, whatever a saved layout says.  The control and its pane are made
// with the first notice: most sessions never have one.

#include <wx/string.h>

class wxAuiManager;
class wxTextCtrl;
class wxWindow;

class TrackingNotice
{
public:
    TrackingNotice(wxWindow* parent, wxAuiManager& manager);

    // Shows the text, or hides the pane when it is empty.
    void Set(const wxString& text);
    // After a resize: the pane's height follows the wrapped lines.
    void FitToWidth();

    // Null until the first notice.
    wxTextCtrl* Control() const { return m_text; }
    // How many lines the text takes at this width, wrapped at spaces.
    int LinesAt(int width) const;

private:
    void Apply();

    wxWindow* m_parent;
    wxAuiManager& m_manager;
    wxTextCtrl* m_text = nullptr;
    int m_lines = 0;
};
