#include "app/assert_handler.h"

#include <cstdio>

#include <wx/debug.h>
#include <wx/string.h>

namespace
{
void LogAssertFailure(const wxString& file, int line, const wxString& func,
                      const wxString& cond, const wxString& msg)
{
    std::fprintf(stderr, "Corvalin: assertion \"%s\" failed in %s (%s:%d): %s\n",
                 static_cast<const char*>(cond.utf8_str()),
                 static_cast<const char*>(func.utf8_str()),
                 static_cast<const char*>(file.utf8_str()), line,
                 static_cast<const char*>(msg.utf8_str()));
}
}  // namespace

void InstallAssertHandler()
{
    wxSetAssertHandler(&LogAssertFailure);
}
