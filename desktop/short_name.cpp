#include "desktop/short_name.h"

#include <cstdint>

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
