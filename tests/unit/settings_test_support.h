#pragma once

#include <string>

#include <wx/fileconf.h>
#include <wx/string.h>

#include "support/temp_folder.h"

void WriteBytes(const wxString& path, const std::string& bytes);
std::string ReadBytes(const wxString& path);
bool Exists(const wxString& path);

// Failed toolkit assertions since the start of the test program.
int AssertionCount();
