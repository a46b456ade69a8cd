#include "platform/linux/private_directory.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

#include <wx/filename.h>
#include <wx/intl.h>
#include <wx/log.h>

#include "platform/single_instance.h"

namespace
{
// sun_path holds 108 bytes with the terminating zero; stay below 107, as the
// toolkit silently binds a longer path as some other, abstract, name.
const size_t kMaxSocketPath = 106;
// The usual limit of one file name.
const size_t kMaxFileName = 255;
}  // namespace

bool IsPrivateDirectory(const wxString& path)
{
    struct stat status;
    // lstat: a symlink planted by someone else must not redirect us.
    if (path.empty() || lstat(path.fn_str(), &status) != 0)
        return false;
    return S_ISDIR(status.st_mode) && status.st_uid == geteuid() &&
           (status.st_mode & (S_IRWXG | S_IRWXO)) == 0;
}

wxString ChoosePrivateDirectory(const wxString& runtimeDir, const wxString& cacheHome)
{
    if (IsPrivateDirectory(runtimeDir))
        return runtimeDir;
    // Under the user's own cache folder, never a name in a shared folder that
    // another user could create first.
    if (cacheHome.empty() || !cacheHome.StartsWith(L"/"))
        return wxString();
    wxString ownDir = cacheHome;
    if (!ownDir.EndsWith(L"/"))
        ownDir += L"/";
    ownDir += L"Corvalin";
    {
        // A cache folder we may not write is answered below; the toolkit's
        // own complaint would become a message box before any window.
        wxLogNull quiet;
        wxFileName::Mkdir(cacheHome, 0700, wxPATH_MKDIR_FULL);
    }
    mkdir(ownDir.fn_str(), 0700);
    return IsPrivateDirectory(ownDir) ? ownDir : wxString();
}

wxString CacheHome()
{
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache && cache[0] == '/')
        return wxString::FromUTF8(cache);
    const char* home = std::getenv("HOME");
    return home && home[0] == '/' ? wxString::FromUTF8(home) + L"/.cache" : wxString();
}

namespace
{
// FNV-1a, 64 bits: stable across runs and builds, which std::hash is not.
std::uint64_t Fnv1a(const char* bytes, size_t length)
{
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (size_t i = 0; i < length; ++i)
    {
        hash ^= static_cast<unsigned char>(bytes[i]);
        hash *= 0x100000001b3ull;
    }
    return hash;
}
}  // namespace

wxString ShortName(const wxString& name, size_t maxBytes)
{
    const wxScopedCharBuffer utf8 = name.utf8_str();
    if (utf8.length() <= maxBytes)
        return name;
    const wxString hashed =
        wxString::Format(L"h%016llx", static_cast<unsigned long long>(Fnv1a(utf8.data(), utf8.length())));
    return hashed.length() <= maxBytes ? hashed : wxString();
}

// The toolkit's IPC takes a service containing a slash as the path of a
// Unix-domain socket; anything else would be a TCP port on every interface.
IpcEndpoint MapIpcEndpoint(const wxString& instanceName, const wxString& serviceName)
{
    IpcEndpoint endpoint;
    const char* runtimeDir = std::getenv("XDG_RUNTIME_DIR");
    const wxString directory =
        ChoosePrivateDirectory(runtimeDir ? wxString::FromUTF8(runtimeDir) : wxString(),
                               CacheHome());
    endpoint.lockMayBeLost = true;
    if (directory.empty())
    {
        // No safe place: lock at the checker's default place, offer no service.
        endpoint.lockName = ShortName(instanceName, kMaxFileName);
        endpoint.problem = wxString::Format(
            _("neither $XDG_RUNTIME_DIR nor \"%s\" is a folder of this user's that no one else "
              "may enter (chmod 700)"),
            CacheHome() + L"/Corvalin");
        return endpoint;
    }
    endpoint.lockDirectory = directory;
    endpoint.lockName = ShortName(instanceName, kMaxFileName);
    const size_t used = directory.utf8_str().length() + 1;
    if (used < kMaxSocketPath)
    {
        const wxString socketName = ShortName(serviceName, kMaxSocketPath - used);
        if (!socketName.empty())
            endpoint.service = directory + L"/" + socketName;
    }
    if (endpoint.service.empty())
        endpoint.problem = wxString::Format(_("the folder \"%s\" has too long a name for its link"),
                                            directory);
    return endpoint;
}

// Nothing to allow: X lets a client ask the window manager for activation.
void AllowOtherInstanceForeground()
{
}
