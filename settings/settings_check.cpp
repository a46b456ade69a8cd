#include "settings/settings_check.h"

#include <wx/filename.h>
#include <wx/intl.h>
#include <wx/strconv.h>

#include "settings/settings_encoding.h"

namespace
{
// Groups nested deeper than this are not settings; the toolkit would also
// recurse once per level while building and freeing them.
const int kMaxGroupDepth = 32;

bool IsUnicodeScalar(unsigned long c)
{
    return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
}

// Whether the two units at pair are one character.  A high surrogate
// followed by a low one is where strings hold UTF-16; where they hold whole
// code points those are two values that are not Unicode.  The toolkit's
// UTF-32 conversion knows which: one code point, or two.
bool IsSurrogatePair(const wchar_t* pair)
{
    const unsigned long high = static_cast<unsigned long>(pair[0]);
    const unsigned long low = static_cast<unsigned long>(pair[1]);
    if (high < 0xD800 || high > 0xDBFF || low < 0xDC00 || low > 0xDFFF)
        return false;
    return wxMBConvUTF32().FromWChar(nullptr, 0, pair, 2) == 4;
}

wxString SettingsTextProblem(const wxString& text)
{
    const wchar_t* chars = text.wc_str();
    const size_t length = text.length();
    int depth = 0;
    bool inHeader = false;
    bool lineStart = true;
    for (size_t i = 0; i < length; ++i)
    {
        unsigned long c = static_cast<unsigned long>(chars[i]);
        if (i + 1 < length && IsSurrogatePair(chars + i))
        {
            ++i;
            c = 0x10000;
        }
        if (c == 0)
            return _("it contains NUL characters");
        if (!IsUnicodeScalar(c))
            return _("it contains characters that are not Unicode");
        if (c == L'\n' || c == L'\r')
        {
            lineStart = true;
            inHeader = false;
            depth = 0;
            continue;
        }
        if (lineStart && (c == L' ' || c == L'\t' || c == L'\v' || c == L'\f'))
            continue;
        if (lineStart && c == L'[')
            inHeader = true;
        else if (inHeader && c == L']')
            inHeader = false;
        else if (inHeader && c == L'/' && ++depth > kMaxGroupDepth)
            return _("its groups are nested too deeply");
        lineStart = false;
    }
    return wxString();
}

wxString SettingsFileProblem(const wxString& path)
{
    if (!wxFileName::FileExists(path))
        return wxString();
    wxString text;
    switch (ReadSettingsText(path, kMaxSettingsFileSize, LongFile::Refuse, text))
    {
    case TextRead::Read:
        return SettingsTextProblem(text);
    case TextRead::TooLong:
        return _("it is larger than 1 MiB");
    case TextRead::BadEncoding:
        return _("its encoding cannot be read");
    case TextRead::Unreadable:
        break;
    }
    return _("it cannot be read");
}
}  // namespace

bool CheckSettingsText(const wxString& text, wxString* problem)
{
    return ReportProblem(problem, SettingsTextProblem(text));
}

bool CheckSettingsFile(const wxString& path, wxString* problem)
{
    return ReportProblem(problem, SettingsFileProblem(path));
}
