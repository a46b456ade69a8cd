#include "settings/dock_layout.h"

#include <memory>

#include <wx/app.h>
#include <wx/fileconf.h>
#include <wx/tokenzr.h>

#include "settings/program_directory.h"
#include "settings/settings_file.h"

namespace
{
const wchar_t kPerspectiveKey[] = L"PerspectiveSelDlg2";
}

wxString DockLayoutPath()
{
    return ProgramDirectory() + L"perspective.layout";
}

wxString ReadDockLayout(const wxString& path)
{
    std::unique_ptr<wxFileConfig> file(OpenSettingsFile(path));
    return file->Read(kPerspectiveKey, wxString());
}

void WriteDockLayout(const wxString& path, const wxString& perspective)
{
    std::unique_ptr<wxFileConfig> file(OpenSettingsFile(path));
    file->Write(kPerspectiveKey, perspective);
    file->Flush();
}

bool IsUsableDockLayout(const wxString& perspective)
{
    bool toolbarFound = false;
    bool logVisible = false;
    wxStringTokenizer panes(perspective, L"|");
    if (panes.GetNextToken() != L"layout2")
        return false;
    while (panes.HasMoreTokens())
    {
        const wxString pane = panes.GetNextToken();
        wxString name;
        long state = 0;
        bool stateFound = false;
        wxStringTokenizer fields(pane, L";");
        while (fields.HasMoreTokens())
        {
            const wxString field = fields.GetNextToken();
            const wxString key = field.BeforeFirst(L'=');
            const wxString value = field.AfterFirst(L'=');
            if (key == L"name")
                name = value;
            else if (key == L"state")
                stateFound = value.ToLong(&state);
        }
        // 2 is the docking library's "hidden" bit.
        if (name == L"TpplBarPane")
            toolbarFound = true;
        else if (name == L"ID_Note")
            logVisible = stateFound && (state & 2) == 0;
    }
    return toolbarFound && logVisible;
}
