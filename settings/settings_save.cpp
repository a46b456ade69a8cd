#include "settings/settings_save.h"

#include <wx/intl.h>
#include <wx/log.h>

#include "settings/settings_check.h"
#include "settings/toolkit_capture.h"

namespace
{
wxString g_saveFailure;
bool g_saveFailureTaken = false;
}  // namespace

bool FlushSettings(wxConfigBase& config, wxString* problem)
{
    LogCapture capture;
    const bool flushed = config.Flush();
    if (flushed && !capture.AnyError())
        return ReportProblem(problem, wxString());
    const wxString why = capture.AnyError() ? capture.FirstComplaint() : wxString(_("unknown error"));
    if (g_saveFailure.empty() && !g_saveFailureTaken)
        g_saveFailure = why;
    ReportProblem(problem, why);
    return false;
}

void CloseSettings(wxConfigBase* config)
{
    if (!config)
        return;
    FlushSettings(*config);
    wxLogNull quiet;
    delete config;
}

wxString TakeSaveFailure()
{
    if (g_saveFailureTaken)
        return wxString();
    g_saveFailureTaken = !g_saveFailure.empty();
    return g_saveFailure;
}
