#pragma once

#include <wx/config.h>
#include <wx/string.h>

// Saving goes on at many places and is reported once, at exit, in the
// program's own words: the toolkit's messages are never shown.

// Flushes the configuration.  True on success; otherwise problem (see
// settings_check.h) says why, and the first failure of the run is also
// kept for TakeSaveFailure.
bool FlushSettings(wxConfigBase& config, wxString* problem = nullptr);
// Flushes as above, then deletes the configuration without a second round
// of messages from its destructor.  Null is allowed.
void CloseSettings(wxConfigBase* config);
// The first save failure of the run, once: empty afterwards and when
// nothing failed.
wxString TakeSaveFailure();
