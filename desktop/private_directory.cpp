#include "desktop/private_directory.h"

#include <sys/stat.h>
#include <unistd.h>

bool IsPrivateDirectory(const wxString& path)
{
    struct stat status;
    // lstat: a symlink planted by someone else must not redirect us.
    if (path.empty() || lstat(path.fn_str(), &status) != 0)
        return false;
    return S_ISDIR(status.st_mode) && status.st_uid == geteuid() &&
           (status.st_mode & (S_IRWXG | S_IRWXO)) == 0;
}

wxString ChoosePrivateDirectory(const wxString& runtimeDir, const wxString& tempDir)
{
    if (IsPrivateDirectory(runtimeDir))
        return runtimeDir;
    if (tempDir.empty())
        return wxString();
    wxString ownDir = tempDir;
    if (!ownDir.EndsWith(L"/"))
        ownDir += L"/";
    ownDir += wxString::Format(L"corvalin-%lu", static_cast<unsigned long>(geteuid()));
    // An existing one is fine only if the check below accepts it: in a shared
    // temporary folder anybody could have made it first.
    mkdir(ownDir.fn_str(), 0700);
    return IsPrivateDirectory(ownDir) ? ownDir : wxString();
}
