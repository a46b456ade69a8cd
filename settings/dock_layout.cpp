#include "settings/dock_layout.h"

#include <memory>

#include <wx/crt.h>
#include <wx/filefn.h>
#include <wx/fileconf.h>
#include <wx/log.h>

#include "settings/settings_check.h"
#include "settings/settings_file_config.h"
#include "settings/settings_location.h"
#include "settings/settings_save.h"
#include "settings/stored_names.h"

namespace
{
// The docking library's pane state bits and dock directions.
const unsigned kStateFloating = 1u << 0;
const unsigned kStateHidden = 1u << 1;
const unsigned kStateMaximized = 1u << 16;
const int kDockTop = 1;
const int kDockLeft = 4;
const int kDockCentre = 5;
// No pane or dock of this frame is ever larger than the largest frame.
const int kMaxSize = 2500;

struct PaneSeen
{
    bool found = false;
    unsigned state = 0;
    int direction = 0;
    bool sizesSane = true;
};

bool InSizeRange(long value)
{
    return value >= -1 && value <= kMaxSize;
}

// Reads one pane the way wxAuiManager::LoadPaneInfo does.  False for a key
// it would not know.
bool ReadPane(wxString part, wxString& name, PaneSeen& pane)
{
    while (true)
    {
        const wxString field = part.BeforeFirst(L';');
        part = part.AfterFirst(L';');
        wxString key = field.BeforeFirst(L'=');
        wxString value = field.AfterFirst(L'=');
        key.MakeLower();
        key.Trim(true).Trim(false);
        value.Trim(true).Trim(false);
        if (key.empty())
            break;
        const long number = wxAtoi(value);
        if (key == L"name")
            name = value;
        else if (key == L"caption")
            ;
        else if (key == L"state")
            pane.state = static_cast<unsigned>(number);
        else if (key == L"dir")
            pane.direction = static_cast<int>(number);
        else if (key == L"layer" || key == L"row" || key == L"pos" || key == L"prop" ||
                 key == L"floatx" || key == L"floaty" || key == L"floatw" || key == L"floath")
            ;
        else if (key == L"bestw" || key == L"besth" || key == L"minw" || key == L"minh" ||
                 key == L"maxw" || key == L"maxh")
            pane.sizesSane = pane.sizesSane && InSizeRange(number);
        else
            return false;
    }
    name.Replace(L"\a", L"|");
    name.Replace(L"\b", L";");
    return true;
}
}  // namespace

wxString DockLayoutPath()
{
    return SettingsDirectory() + kDockLayoutFileName;
}

wxString ReadDockLayout(const wxString& path)
{
    if (!CheckSettingsFile(path))
        return wxString();
    std::unique_ptr<wxFileConfig> file(OpenSettingsFile(path));
    const wxString perspective = file->Read(kPerspectiveKey, wxString());
    wxLogNull quiet;
    file.reset();
    return perspective;
}

void WriteDockLayout(const wxString& path, const wxString& perspective)
{
    wxString damage;
    std::unique_ptr<wxFileConfig> file;
    if (CheckSettingsFile(path, &damage))
        file.reset(OpenSettingsFile(path, &damage));
    if (!damage.empty())
    {
        file.reset();
        wxLogNull quiet;
        wxRemoveFile(path);
        file.reset(OpenSettingsFile(path));
    }
    file->Write(kPerspectiveKey, perspective);
    CloseSettings(file.release());
}

bool IsUsableDockLayout(const wxString& perspective)
{
    wxString input = perspective;
    wxString header = input.BeforeFirst(L'|');
    input = input.AfterFirst(L'|');
    header.Trim(true).Trim(false);
    if (header != L"layout2")
        return false;
    input.Replace(L"\\|", L"\a");
    input.Replace(L"\\;", L"\b");

    PaneSeen toolbar;
    PaneSeen log;
    PaneSeen thieves;
    while (true)
    {
        wxString part = input.BeforeFirst(L'|');
        input = input.AfterFirst(L'|');
        part.Trim(true);
        // The docking manager stops at the first empty part.
        if (part.empty())
            break;
        if (part.Left(9) == L"dock_size")
        {
            if (!InSizeRange(wxAtoi(part.AfterFirst(L'='))))
                return false;
            continue;
        }
        part.Replace(L"\a", L"|");
        part.Replace(L"\b", L";");
        wxString name;
        PaneSeen pane;
        if (!ReadPane(part, name, pane))
            return false;
        pane.found = true;
        // A later entry for the same pane replaces the earlier one, as there.
        if (name == kToolbarPaneName)
            toolbar = pane;
        else if (name == kLogPaneName)
            log = pane;
        else if (name == kThievesPaneName)
            thieves = pane;
    }

    const unsigned gone = kStateFloating | kStateHidden | kStateMaximized;
    // The thieves pane may be hidden (the menu brings it back) or missing
    // (a layout from before it), but never float or take the log's place.
    const bool thievesUsable =
        !thieves.found || ((thieves.state & (kStateFloating | kStateMaximized)) == 0 &&
                           thieves.direction >= kDockTop && thieves.direction <= kDockLeft &&
                           thieves.sizesSane);
    return toolbar.found && log.found && (toolbar.state & gone) == 0 &&
           (log.state & gone) == 0 && toolbar.direction >= kDockTop &&
           toolbar.direction <= kDockLeft && log.direction == kDockCentre &&
           toolbar.sizesSane && log.sizesSane && thievesUsable;
}
